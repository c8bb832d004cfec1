#include "check/HtmlReport.h"

#include "check/HtmlParts.h"
#include "check/TerminalReport.h"

#include <algorithm>
#include <map>

namespace check {
namespace {

constexpr uint32_t kBlocksPerBank = 0x2000000u / 4096u;

// What needs a look: failures, errors and warnings.
bool Attention(const CaseResult &c)
{
    return c.outcome == Outcome::Fail || c.outcome == Outcome::Error || c.outcome == Outcome::Warn;
}

std::string ResultsTable(const RunResults &r, bool attentionOnly)
{
    std::string html = "<table class=\"results\"><tr><th>検査</th><th>結果</th><th>診断</th><th>秒</th>"
                       "<th>数値</th></tr>";
    for (const CaseResult &c : r.cases) {
        if (attentionOnly && !Attention(c))
            continue;
        static const char *const shown[] = {"ok", "WARN", "FAIL", "SKIP", "ERROR"};
        const std::string why = c.outcome == Outcome::Pass ? c.note
                                : c.note.empty() || c.reason().find(c.note) != std::string::npos ? c.reason()
                                                            : c.reason() + "（" + c.note + "）";
        html += "<tr class=\"" + std::string(OutcomeName(c.outcome)) + "\"><td>" + HtmlEscape(c.name) + "</td><td>"
                + shown[static_cast<int>(c.outcome)] + "</td><td>" + HtmlEscape(why) + "</td><td>"
                + FormatNumber(c.seconds) + "</td><td>";
        if (!c.properties.empty()) {
            html += "<details><summary>" + std::to_string(c.properties.size()) + " 項目</summary><table>";
            for (const auto &[key, value] : c.properties)
                html += "<tr><td>" + HtmlEscape(key) + "</td><td>" + HtmlEscape(value) + "</td></tr>";
            html += "</table></details>";
        }
        html += "</td></tr>";
    }
    return html + "</table>";
}

std::string MemoryMaps(const RunResults &r)
{
    // Per bank, in the order the banks ran: the sum over every pattern, then each pattern that
    // found something on its own map; the clean patterns are named.
    std::vector<uint32_t> banks;
    for (const MemoryFinding &f : r.memory)
        if (std::find(banks.begin(), banks.end(), f.bank) == banks.end())
            banks.push_back(f.bank);
    std::string html = "<h2>フレームメモリ 不一致マップ</h2><p>1マス = 4 KiB ブロック（1行 128 ブロック = 512 KiB、"
                       "左に行の先頭オフセット、上に行内のオフセット）。緑は不一致なし、黄から赤は不一致の多さ。"
                       "不一致のブロックが少ないときは赤い輪で囲みます。random と sequential-increment のシード "
                       + std::to_string(r.memorySeed) + "</p>";
    for (uint32_t bank : banks) {
        std::vector<uint32_t> sum(kBlocksPerBank, 0);
        uint64_t errors = 0;
        std::string patterns, clean;
        for (const MemoryFinding &f : r.memory) {
            if (f.bank != bank)
                continue;
            for (size_t b = 0; b < f.blockErrors.size() && b < sum.size(); ++b)
                sum[b] += f.blockErrors[b];
            errors += f.errors;
            if (f.errors == 0) {
                clean += (clean.empty() ? "" : ", ") + HtmlEscape(f.pattern);
                continue;
            }
            patterns += "<figure>" + MemoryMapSvg(f.blockErrors, kBlocksPerBank, 2) + "<figcaption>"
                        + HtmlEscape(f.pattern) + "：不一致 " + std::to_string(f.errors) + "</figcaption></figure>";
        }
        html += "<h3>バンク " + std::to_string(bank) + "</h3><div class=\"maps\"><figure>"
                + MemoryMapSvg(sum, kBlocksPerBank, 4) + "<figcaption>バンク " + std::to_string(bank)
                + "：すべてのパターンの合計 不一致 " + std::to_string(errors) + "</figcaption></figure>" + patterns + "</div>";
        if (!clean.empty())
            html += "<p>不一致なし: " + clean + "</p>";
    }
    return html;
}

std::string PictureSection(const char *title, const Picture &p)
{
    const std::string uri = PictureDataUri(p);
    if (uri.empty())
        return {};
    return std::string("<h2>") + title + "</h2><img class=\"picture\" alt=\"" + title + "\" src=\"" + uri + "\">"
           + "<p>" + std::to_string(p.width) + " x " + std::to_string(p.height) + "</p>";
}

} // namespace

std::string HtmlReportText(const RunResults &r, int exitStatus)
{
    std::string html = "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
                       "<title>pelora2-check レポート</title><style>"
                       "body{font-family:sans-serif;margin:1.5em}"
                       "table.results{border-collapse:collapse}"
                       "table.results td,table.results th{border:1px solid #aaa;padding:2px 6px;vertical-align:top}"
                       "table.results td:first-child,summary{white-space:nowrap}"
                       "tr.pass td:nth-child(2){color:#080}tr.fail td:nth-child(2),tr.error td:nth-child(2)"
                       "{color:#c00;font-weight:bold}tr.fail,tr.error{background:#fee}"
                       "tr.warn td:nth-child(2){color:#a60;font-weight:bold}tr.warn{background:#ffd}"
                       "tr.skip td:nth-child(2){color:#666}"
                       "svg.map{border:1px solid #888}"
                       "img.picture{max-width:640px;border:1px solid #888}"
                       ".maps{display:flex;flex-wrap:wrap;gap:1em}"
                       "</style></head><body>";
    html += "<h1>pelora2-check レポート</h1>";
    html += "<p>開始 " + HtmlEscape(r.startedAt) + "、所要 " + FormatNumber(r.seconds) + " 秒、終了コード "
            + std::to_string(exitStatus) + (r.interrupted ? "（中断されました）" : "") + "</p>";
    // The failures and warnings open the page; every case follows below.
    html += "<p class=\"total\">" + HtmlEscape(TotalLine(r)) + "</p>";
    if (std::any_of(r.cases.begin(), r.cases.end(), Attention))
        html += "<h2>不合格・エラー・警告</h2>" + ResultsTable(r, true);
    html += "<p class=\"board\">ボードライブラリ " + HtmlEscape(r.boardLibrary.empty() ? "（不明）" : r.boardLibrary)
            + (r.simulatedBoard ? "（シミュレーションボード）" : "") + "</p>";
    html += "<table class=\"replay\">";
    for (const auto &[key, value] : r.replay)
        html += "<tr><th>" + HtmlEscape(key) + "</th><td><code>" + HtmlEscape(value) + "</code></td></tr>";
    html += "<tr><th>plan</th><td><details><summary>--plan</summary><pre>" + HtmlEscape(r.plan)
            + "</pre></details></td></tr></table>";
    html += "<h2>すべての検査</h2>" + ResultsTable(r, false);
    // The difference with the reference beside the frame it was taken from.
    if (r.referenceDifference.channels != 0)
        html += "<div class=\"maps\"><div>" + PictureSection("最後のスキャン画像", r.lastScanFrame) + "</div><div>"
                + PictureSection("参照画像との差", r.referenceDifference)
                + "<p>黒は許容差以内、明るいほど差が大きい</p></div></div>";
    else
        html += PictureSection("最後のスキャン画像", r.lastScanFrame);
    if (!r.scanIntervalsUs.empty())
        html += "<h2>スキャン フレーム間隔</h2>" + HistogramSvg(r.scanIntervalsUs);
    html += PictureSection("ビデオ スナップショット", r.videoSnapshot);
    if (!r.videoIntervalsUs.empty())
        html += "<h2>ビデオ フレーム間隔</h2>" + HistogramSvg(r.videoIntervalsUs);
    if (r.memoryRan)
        html += MemoryMaps(r);
    return html + "</body></html>\n";
}

} // namespace check
