// pelora2-trace info FILE: what a trace holds, in figures. Exit status 1 when the trace is
// truncated or bytes were not kept.
#include "Tool.h"

#include "pel2ctl.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <map>

namespace tool {
namespace {

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
    trace::Record r;
    while (reader->next(&r)) {
        ++records;
        ++threads[r.thread];
        end = std::max(end, r.timeNs + r.durationNs);
        if (r.kind == trace::Kind::Note) {
            ++notes;
            summaries.push_back(r.text);
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
        const uint64_t flags = r.args[0];
        if (flags & HOOK_FLAG_AREA_SIZE)
            ++sizeReports;
        if (flags & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES))
            ++deliveries;
        if (flags & HOOK_FLAG_FRAME)
            ++framesEnded;
        if (r.dataKind == trace::DataKind::Lines) {
            (r.dataKept ? kept : notKept) += 1;
            (r.dataKept ? bytesKept : bytesNotKept) += r.dataSize;
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
    const int status = endOfTrace("info", *reader);
    if (reader->truncated())
        std::printf("truncated:  %s\n", reader->error().c_str());
    return status != kOk || notKept != 0 || otherNotKept != 0 ? kFinding : kOk;
}

const Registration reg({"info", "FILE", "duration, calls, deliveries, pixels kept, errors seen", info});

} // namespace
} // namespace tool
