// pelora2-trace cut FILE --from N --to M -o OUT: records N to M (record numbers, both included;
// --to omitted: to the end) as a trace of their own, numbered from 0, times kept as recorded.
#include "Tool.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tool {
namespace {

bool number(const std::string &text, uint64_t &out)
{
    char *end = nullptr;
    out = std::strtoull(text.c_str(), &end, 10);
    return !text.empty() && end != nullptr && *end == '\0' && text[0] != '-';
}

int cut(const std::vector<std::string> &args)
{
    std::string file, out;
    uint64_t from = 0, to = std::numeric_limits<uint64_t>::max();
    for (size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--from" && hasValue) {
            if (!number(args[++i], from))
                return usageError("cut", "--from takes a record number");
        } else if (args[i] == "--to" && hasValue) {
            if (!number(args[++i], to))
                return usageError("cut", "--to takes a record number");
        } else if (args[i] == "-o" && hasValue) {
            out = args[++i];
        } else if (file.empty() && args[i].rfind("-", 0) != 0) {
            file = args[i];
        } else {
            return usageError("cut", "unknown argument " + args[i]);
        }
    }
    if (file.empty() || out.empty())
        return usageError("cut", "FILE and -o OUT are needed");
    if (from > to)
        return usageError("cut", "--from is after --to");
    auto reader = openTrace("cut", file);
    if (!reader || !traceDestinationOk("cut", out, {file}))
        return kUsage;
    trace::Header header = reader->header();
    trace::Writer writer(out, header);
    trace::Record r;
    uint64_t copied = 0;
    while (writer.ok() && reader->next(&r) && r.number <= to) {
        if (r.number < from)
            continue;
        writer.append(r);
        ++copied;
    }
    if (!writer.finish()) {
        std::fprintf(stderr, "pelora2-trace cut: %s\n", writer.error().c_str());
        return kFinding;
    }
    std::printf("%" PRIu64 " records written to %s\n", copied, out.c_str());
    return endOfTrace("cut", *reader);
}

const Registration reg({"cut", "FILE --from N [--to M] -o OUT", "records N to M (both included) as a trace of their own",
                        cut});

} // namespace
} // namespace tool
