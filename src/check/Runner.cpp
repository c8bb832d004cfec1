#include "check/Runner.h"

#include "check/BoardLink.h"
#include "check/CheckContext.h"
#include "check/DspCheck.h"
#include "check/HtmlReport.h"
#include "check/JsonReport.h"
#include "check/JunitReport.h"
#include "check/MemoryCheck.h"
#include "check/OpenCheck.h"
#include "check/ProgressBar.h"
#include "check/RegisterCheck.h"
#include "check/ReportFile.h"
#include "check/ScanCheck.h"
#include "check/VideoCheck.h"

#include <ctime>
#include <unistd.h>

namespace check {
namespace {

std::string LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

void RunOne(CheckId id, CheckContext &ctx)
{
    switch (id) {
    case CheckId::Open: break; // done when the board was opened
    case CheckId::Registers: RunRegisterCheck(ctx); break;
    case CheckId::Dsp: RunDspCheck(ctx); break;
    case CheckId::Memory: RunMemoryCheck(ctx); break;
    case CheckId::Scan: RunScanCheck(ctx); break;
    case CheckId::Video: RunVideoCheck(ctx); break;
    }
}

} // namespace

bool WriteReports(const CheckOptions &o, const RunResults &r, int exitStatus, std::FILE *err)
{
    bool ok = true;
    auto write = [&](const std::string &path, const std::string &text, const char *what) {
        if (path.empty())
            return;
        if (std::string e = WriteReportFile(path, text, what); !e.empty()) {
            std::fprintf(err, "pelora2-check: %s\n", e.c_str());
            ok = false;
        }
    };
    write(o.junitFile, o.junitFile.empty() ? "" : JunitReportText(r), "JUnitレポート");
    write(o.jsonFile, o.jsonFile.empty() ? "" : JsonReportText(r, exitStatus), "JSONレポート");
    write(o.htmlFile, o.htmlFile.empty() ? "" : HtmlReportText(r, exitStatus), "HTMLレポート");
    return ok;
}

int RunChecks(const CheckOptions &options, RunResults &results, std::FILE *out, std::FILE *err)
{
    const auto start = std::chrono::steady_clock::now();
    results.startedAt = LocalTimeNow();
    TerminalReport terminal(out);
    ProgressBar progress(out, options.progress.value_or(isatty(fileno(out)) != 0));
    BoardLink &link = BoardLink::Instance();
    CheckContext ctx(options, link, results, terminal, progress);

    const bool asked = !options.checks.empty() && options.checks.front() == CheckId::Open;
    bool opened = OpenBoard(ctx, asked);
    if (opened) {
        for (CheckId id : options.checks) {
            if (ctx.cancelled())
                break;
            RunOne(id, ctx);
        }
        progress.End();
        if (const int32_t closed = link.Close(); closed != 0) {
            CaseResult c;
            c.name = "open/close";
            c.Fail("デバイス クローズが失敗しました。（" + StatusText(closed) + "）");
            ctx.Add(std::move(c));
        }
    }
    results.interrupted = ctx.cancelled();
    results.seconds = SecondsSince(start);
    if (results.interrupted)
        terminal.PrintLine("中断されました（Ctrl+C）。実行した検査までを報告します。");
    terminal.PrintTotal(results);
    const int status = !opened                 ? kExitNoBoard
                       : results.interrupted   ? kExitInterrupted
                       : results.failed() != 0 ? kExitFailed
                                               : kExitPassed;
    const bool written = WriteReports(options, results, status, err);
    return status == kExitPassed && !written ? kExitFailed : status;
}

} // namespace check
