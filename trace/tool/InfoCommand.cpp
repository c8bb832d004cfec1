// pelora2-trace info FILE: what a trace holds, in figures. Exit status 1 when the trace is
// truncated or bytes were not kept.
#include "Tool.h"

#include "pel2ctl.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <map>

namespace tool {
namespace {

// The recorder's time on the hook against the program's own time in it, from the same trace,
// and why pixels were not kept. `summary`: the outputs of the recorder's closing note.
void printHookShare(std::vector<uint64_t> &hookNs, const std::vector<uint64_t> &summary)
{
    if (hookNs.empty() || summary.size() < 9 || summary[4] == 0)
        return;
    std::sort(hookNs.begin(), hookNs.end());
    double sum = 0;
    for (uint64_t ns : hookNs)
        sum += double(ns);
    const double hookMedian = double(hookNs[hookNs.size() / 2]), hookMean = sum / double(hookNs.size());
    const double ownMedian = double(summary[8]), ownMean = double(summary[5]) / double(summary[4]);
    auto share = [](double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; };
    std::printf("hook time:  program's hook median %.1f us, mean %.1f us; recorder's time median "
                "under %.1f us (%.1f %%), mean %.1f us (%.1f %%)\n",
                hookMedian / 1e3, hookMean / 1e3, ownMedian / 1e3, share(ownMedian, hookMedian),
                ownMean / 1e3, share(ownMean, hookMean));
    if (summary.size() >= 12)
        std::printf("not kept:   %" PRIu64 " deliveries for the hook's time budget (%g %% of the hook), %" PRIu64
                    " for a full buffer\n",
                    summary[9], double(summary[11]) / 100.0, summary[1] - std::min(summary[1], summary[9]));
}

int info(const std::vector<std::string> &args)
{
    if (args.size() != 1)
        return usageError("info", "one trace file expected");
    auto reader = openTrace("info", args[0]);
    if (!reader)
        return kUsage;
    reader->setSkipData(true);
    const trace::Header &h = reader->header();
    uint64_t records = 0, calls = 0, notes = 0, end = 0;
    uint64_t deliveries = 0, framesEnded = 0, sizeReports = 0, kept = 0, notKept = 0;
    uint64_t bytesKept = 0, bytesNotKept = 0, otherNotKept = 0;
    std::map<std::string, uint64_t> byOp, callbacks;
    std::map<std::pair<std::string, int32_t>, uint64_t> errors;
    std::map<uint32_t, uint64_t> threads;
    std::vector<std::string> summaries;
    std::vector<uint64_t> hookNs; // the program's time in each hook call
    std::vector<uint64_t> summary; // the recorder's figures (its last note that has them)
    trace::Record r;
    while (reader->next(&r)) {
        ++records;
        ++threads[r.thread];
        end = std::max(end, r.timeNs + r.durationNs);
        if (r.kind == trace::Kind::Note) {
            ++notes;
            summaries.push_back(r.text);
            if (r.outputs.size() >= 9)
                summary = r.outputs;
            continue;
        }
        if (r.kind == trace::Kind::Call) {
            ++calls;
            ++byOp[opName(r)];
            const bool failed = r.op == 1 ? uint32_t(r.result) == BOARD_INVALID_HANDLE : r.result != 0;
            if (failed)
                ++errors[{opName(r), r.op == 1 && r.outputs.size() > 2 ? int32_t(r.outputs[2]) : r.result}];
            if (r.dataKind != trace::DataKind::None && !r.dataKept)
                ++otherNotKept;
            continue;
        }
        ++callbacks[opName(r)];
        if (r.op != trace::kImageTransferHook || r.args.empty())
            continue;
        hookNs.push_back(r.durationNs);
        const uint64_t flags = r.args[0];
        if (flags & HOOK_FLAG_AREA_SIZE)
            ++sizeReports;
        if (flags & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES))
            ++deliveries;
        if (flags & HOOK_FLAG_FRAME)
            ++framesEnded;
        if (r.dataKind == trace::DataKind::Lines) {
            (r.dataKept ? kept : notKept) += 1;
            (r.dataKept ? bytesKept : bytesNotKept) += trace::pixelBytes(r);
        }
    }
    std::printf("trace:      %s\n", args[0].c_str());
    std::printf("command:    %s\n", h.command.c_str());
    std::printf("library:    %s\n", h.libraryPath.c_str());
    const std::time_t started = std::time_t(h.startUnixNs / 1000000000u);
    char when[64] = "?";
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&started));
    std::printf("recorded:   %s on %s\n", when, h.host.c_str());
    std::printf("duration:   %.3f s\n", double(end) / 1e9);
    std::printf("records:    %" PRIu64 " (%" PRIu64 " calls, %" PRIu64 " callbacks, %" PRIu64
                " notes) from %zu threads\n",
                records, calls, records - calls - notes, notes, threads.size());
    std::printf("calls:     ");
    for (const auto &[name, n] : byOp)
        std::printf(" %s %" PRIu64, name.c_str(), n);
    std::printf("\ncallbacks: ");
    for (const auto &[name, n] : callbacks)
        std::printf(" %s %" PRIu64, name.c_str(), n);
    std::printf("\ndeliveries: %" PRIu64 " (%" PRIu64 " frames ended, %" PRIu64 " size reports)\n",
                deliveries, framesEnded, sizeReports);
    std::printf("pixels:     kept for %" PRIu64 " (%.1f MB), not kept for %" PRIu64 " (%.1f MB)\n",
                kept, double(bytesKept) / 1e6, notKept, double(bytesNotKept) / 1e6);
    if (otherNotKept)
        std::printf("other data: not kept for %" PRIu64 " calls\n", otherNotKept);
    std::printf("errors:    ");
    if (errors.empty())
        std::printf(" none");
    for (const auto &[key, n] : errors)
        std::printf(" %s=%d x%" PRIu64, key.first.c_str(), int(key.second), n);
    std::printf("\n");
    for (const std::string &s : summaries)
        std::printf("recorder:   %s\n", s.c_str());
    printHookShare(hookNs, summary);
    const int status = endOfTrace("info", *reader);
    if (reader->truncated())
        std::printf("truncated:  %s\n", reader->error().c_str());
    return status != kOk || notKept != 0 || otherNotKept != 0 ? kFinding : kOk;
}

const Registration reg({"info", "FILE", "duration, calls, deliveries, pixels kept, errors seen", info});

} // namespace
} // namespace tool
