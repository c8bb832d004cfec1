#include "check/Runner.h"

#include "check/BoardLink.h"
#include "check/CheckContext.h"
#include "check/CommandLine.h"
#include "check/DepthCheck.h"
#include "check/DspCheck.h"
#include "check/HtmlReport.h"
#include "check/JsonReport.h"
#include "check/JunitReport.h"
#include "check/Loops.h"
#include "check/MemoryCheck.h"
#include "check/OpenCheck.h"
#include "check/PlanWriter.h"
#include "check/ProgressBar.h"
#include "check/RegisterCheck.h"
#include "check/ScanCheck.h"
#include "check/ScanCycleCheck.h"
#include "check/ScanDataCheck.h"
#include "check/ExclusiveCheck.h"
#include "check/VideoCheck.h"
#include "ops/BoardLibrary.h"
#include "ops/CheckedFile.h"

#include <algorithm>
#include <csignal>
#include <functional>
#include <iterator>
#include <cstring>
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

// The case a check that did not run stands for in the reports.
std::string SkippedName(CheckId id)
{
    switch (id) {
    case CheckId::Open: return "open/board";
    case CheckId::Dsp: return "dsp/download";
    case CheckId::Scan: return "scan/area";
    case CheckId::Video: return "video/live";
    default: return CheckName(id); // several cases: the group
    }
}

void RunOne(CheckId id, CheckContext &ctx)
{
    switch (id) {
    case CheckId::Open: break; // done when the board was opened
    case CheckId::Registers: RunRegisterCheck(ctx); break;
    case CheckId::Dsp: RunDspCheck(ctx); break;
    case CheckId::Memory: RunMemoryCheck(ctx); break;
    case CheckId::Scan:
        // The scan check covers the board's scan control too: cancel cycles, a stop with
        // requests queued, request-depth sweeps, the exclusive right and the scan-data-set sequence.
        RunScanCheck(ctx);
        {
            const bool areaPassed = ctx.results.cases.back().passed();
            for (void (*next)(CheckContext &) : {RunScanCycleCheck, RunQueuedStopCheck})
                if (!ctx.cancelled())
                    next(ctx);
            if (!ctx.cancelled())
                RunDepthChecks(ctx, areaPassed);
            for (void (*next)(CheckContext &) : {RunExclusiveCheck, RunScanDataCheck})
                if (!ctx.cancelled())
                    next(ctx);
        }
        break;
    case CheckId::Video: RunVideoCheck(ctx); break;
    }
}

// One pass over the checks asked. Every check appears in the reports: run, or skipped with the
// reason.
void RunSet(const CheckOptions &options, CheckContext &ctx, bool opened)
{
    for (CheckId id : AllChecks()) {
        const bool wanted = std::find(options.checks.begin(), options.checks.end(), id) != options.checks.end();
        if (id == CheckId::Open && (wanted || !opened))
            continue; // the open is reported already (when asked, or when it failed)
        const bool noProgram = id == CheckId::Dsp && options.all; // --all without --dsp
        if (!wanted)
            ctx.Add(SkippedCase(SkippedName(id), SkipKind::NotAsked,
                                noProgram ? "指定されていません（--dsp のプログラムファイルがありません）"
                                          : "指定されていません"));
        else if (!opened)
            ctx.Add(SkippedCase(SkippedName(id), SkipKind::EarlierFailure,
                                "ボードをオープンできなかったため実行していません"));
        else if (ctx.cancelled())
            ctx.Add(SkippedCase(SkippedName(id), SkipKind::Interrupted, "中断されたため実行していません"));
        else
            RunOne(id, ctx);
    }
}

// Warnings and skips pass unless --strict counts the warnings.
bool Failing(const RunResults &r, bool strict)
{
    return r.count(Outcome::Fail) + r.count(Outcome::Error) + (strict ? r.count(Outcome::Warn) : 0) != 0;
}

std::string CommandLineText(const std::string &program, const std::vector<std::string> &args)
{
    std::string line = ShellWord(program);
    for (const std::string &arg : args)
        line += " " + ShellWord(arg);
    return line;
}

// The replay header of the reports, once the run is over (the seed and the board are known).
void RecordReplay(const CheckOptions &o, RunResults &r)
{
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    r.replay = {{"commandLine", CommandLineText(o.program, o.args)}, {"version", PELORA2_VERSION}, {"host", host}};
    for (const CaseResult &c : r.cases)
        if (c.name == "open/board")
            for (const auto &[key, value] : c.properties)
                if (key == "boardId" || key == "revision")
                    r.replay.emplace_back(key, value);
    const std::optional<uint64_t> seed = r.memoryRan ? std::optional(r.memorySeed) : o.seed;
    if (seed)
        r.replay.emplace_back("seed", std::to_string(*seed));
    r.replay.emplace_back("tier", TierName(o.tier));
    r.replay.emplace_back("loops", std::to_string(r.loops));
    if (o.durationSeconds != 0)
        r.replay.emplace_back("duration", DurationText(o.durationSeconds));
    r.plan = ResolvedPlanText(o, seed);
}

} // namespace

bool WriteReports(const CheckOptions &o, const RunResults &r, int exitStatus, std::FILE *err)
{
    bool ok = true;
    auto write = [&](const std::string &path, const char *what, const std::function<void(const TextSink &)> &fill) {
        if (path.empty())
            return;
        ops::CheckedFile file;
        if (file.Open(path)) {
            fill([&file](std::string_view piece) { file.Write(piece); });
            file.Commit();
        }
        if (file.failedStep() != ops::CheckedFile::Step::None) {
            std::fprintf(err, "pelora2-check: %sを書き込めません: %s（%s）\n", what, path.c_str(),
                         file.errorText().c_str());
            ok = false;
        }
    };
    write(o.junitFile, "JUnitレポート", [&](const TextSink &out) { out(JunitReportText(r)); });
    write(o.jsonFile, "JSONレポート", [&](const TextSink &out) { StreamJsonReport(r, exitStatus, out); });
    write(o.htmlFile, "HTMLレポート", [&](const TextSink &out) { out(HtmlReportText(r, exitStatus)); });
    // Beside the reports, the plan that repeats the run with `--plan`.
    write(ResolvedPlanPath(o), "実行計画ファイル", [&](const TextSink &out) { out(r.plan); });
    return ok;
}

int RunChecks(const CheckOptions &options, RunResults &results, std::FILE *out, std::FILE *err)
{
    const auto start = std::chrono::steady_clock::now();
    results.startedAt = LocalTimeNow();
    TerminalReport terminal(out, options.verbosity);
    // Which library answers is said first, and a run that must reach a real board ends here
    // when it would reach the simulated one: no board call is made.
    const ops::BoardLibrary library = ops::LoadedBoardLibrary();
    results.boardLibrary = library.path;
    results.simulatedBoard = library.simulated;
    terminal.PrintLine("ボードライブラリ: " + ops::BoardLibraryText(library));
    if (options.requireBoard && library.simulated) {
        std::fprintf(err, "pelora2-check: シミュレーションボードのライブラリです（%s）。--require-board のため検査しません\n",
                     library.path.c_str());
        RecordReplay(options, results);
        WriteReports(options, results, kExitNoBoard, err);
        return kExitNoBoard;
    }
    // Step lines and a bar would mix on one line: with -v the bar only when asked for.
    ProgressBar progress(out, options.progress.value_or(options.verbosity == 0 && isatty(fileno(out)) != 0));
    BoardLink &link = BoardLink::Instance();
    CheckContext ctx(options, link, results, terminal, progress);

    const bool asked = !options.checks.empty() && options.checks.front() == CheckId::Open;
    bool opened = OpenBoard(ctx, asked);
    // Loops share the open board; each loop's cases are put aside and folded at the end.
    const bool looped = options.loops > 1 || options.tier == Tier::Soak;
    const size_t first = results.cases.size(); // the open's case, when reported, stays first
    std::vector<std::vector<CaseResult>> perLoop;
    for (uint32_t loop = 1;; ++loop) {
        const auto loopStart = std::chrono::steady_clock::now();
        terminal.SetLoop(looped ? loop : 0);
        RunSet(options, ctx, opened);
        if (!looped)
            break;
        perLoop.emplace_back(std::make_move_iterator(results.cases.begin() + static_cast<std::ptrdiff_t>(first)),
                             std::make_move_iterator(results.cases.end()));
        results.cases.resize(first);
        // Folded as they come: a long soak on a faulty bank keeps one set of findings.
        results.memory = MergeFindings(std::move(results.memory));
        terminal.SetLoop(0);
        terminal.PrintLine(LoopLine(loop, options.loops, perLoop.back(), SecondsSince(loopStart), SecondsSince(start),
                                    options.tier == Tier::Soak ? options.durationSeconds : 0));
        if (!opened || ctx.cancelled())
            break;
        if (options.tier == Tier::Soak ? SecondsSince(start) >= double(options.durationSeconds) : loop >= options.loops)
            break;
    }
    if (looped) {
        results.looped = true;
        results.loops = static_cast<uint32_t>(perLoop.size());
        for (CaseResult &c : MergeLoops(perLoop)) {
            terminal.PrintCase(c);
            results.cases.push_back(std::move(c));
        }
    }
    if (opened) {
        progress.End();
        if (const int32_t closed = link.Close(); closed != 0) {
            CaseResult c;
            c.name = "open/close";
            c.Fail("デバイス クローズが失敗しました。（" + StatusText(closed) + "）");
            ctx.Add(std::move(c));
        }
    }
    // From here a signal only is recorded: the reports are written whole.
    HoldSignals(true);
    results.interrupted = ctx.cancelled();
    results.signal = InterruptSignal();
    results.seconds = SecondsSince(start);
    if (results.signal != 0)
        terminal.PrintLine(std::string("中断されました（") + SignalName(results.signal)
                           + (results.signal == SIGINT ? "、Ctrl+C" : "") + "）。実行した検査までを報告します。");
    terminal.PrintTotal(results);
    const int outputError = terminal.writeError();
    if (outputError != 0)
        std::fprintf(err, "pelora2-check: 標準出力に書き込めません（%s）。ボードを閉じ、レポートを書きます\n",
                     std::strerror(outputError));
    const int status = !opened                 ? kExitNoBoard
                       : results.signal != 0   ? ExitForSignal(results.signal)
                       : outputError != 0      ? kExitFailed
                       : Failing(results, options.strict) ? kExitFailed
                                                           : kExitPassed;
    RecordReplay(options, results);
    const bool written = WriteReports(options, results, status, err);
    HoldSignals(false);
    const int final = status == kExitPassed && !written ? kExitFailed : status;
    if (final == kExitFailed) {
        // Last: the command that repeats this run, with the seed it drew.
        terminal.PrintLine("rerun: " + CommandLineText(options.program, RerunArgs(options.args, results.memoryRan
                                                                                  ? std::optional(results.memorySeed)
                                                                                  : std::nullopt)));
    }
    return final;
}

} // namespace check
