// pelora2-trace SUBCOMMAND [ARGS...]: records a board session, and lists, compares, cuts and
// exports what a trace holds.
#include "Tool.h"

#include "pel2ctl.h"
#include "trace/format/Names.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace tool {
namespace {

std::vector<Subcommand> &table()
{
    static std::vector<Subcommand> all;
    return all;
}

void printUsage(FILE *to)
{
    std::fprintf(to, "usage: pelora2-trace SUBCOMMAND [ARGS...]\n\n");
    std::vector<Subcommand> sorted = subcommands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Subcommand &a, const Subcommand &b) { return std::strcmp(a.name, b.name) < 0; });
    for (const Subcommand &s : sorted)
        std::fprintf(to, "  %-8s %s\n           %s\n", s.name, s.usage, s.summary);
    std::fprintf(to, "\nexit status: 0 done, 1 a finding (differences, truncated trace, data not kept),\n"
                     "2 bad usage or unreadable trace, 3 the command could not be started\n");
}


char *hex(char *p, uint64_t v)
{
    static const char digits[] = "0123456789abcdef";
    *p++ = '0';
    *p++ = 'x';
    char tmp[16];
    int n = 0;
    do {
        tmp[n++] = digits[v & 15];
        v >>= 4;
    } while (v != 0);
    while (n > 0)
        *p++ = tmp[--n];
    return p;
}

} // namespace

Registration::Registration(const Subcommand &subcommand) { table().push_back(subcommand); }
const std::vector<Subcommand> &subcommands() { return table(); }

int usageError(const std::string &subcommand, const std::string &why)
{
    std::fprintf(stderr, "pelora2-trace %s: %s\n", subcommand.c_str(), why.c_str());
    for (const Subcommand &s : subcommands())
        if (subcommand == s.name)
            std::fprintf(stderr, "usage: pelora2-trace %s %s\n", s.name, s.usage);
    return kUsage;
}

std::unique_ptr<trace::Reader> openTrace(const std::string &subcommand, const std::string &path)
{
    auto reader = std::make_unique<trace::Reader>(path);
    if (reader->ok())
        return reader;
    std::fprintf(stderr, "pelora2-trace %s: %s\n", subcommand.c_str(), reader->error().c_str());
    return nullptr;
}

bool traceDestinationOk(const std::string &subcommand, const std::string &path,
                        const std::vector<std::string> &inputs)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string why;
    const fs::path target = fs::absolute(path, ec);
    const fs::path folder = target.parent_path();
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status))
            why = "is not a regular file";
        else if (!trace::Reader(target.string()).ok())
            why = "exists and is not a trace file: it is not replaced";
        for (const std::string &input : inputs)
            if (why.empty() && fs::equivalent(target, input, ec))
                why = "is also the trace read";
    } else if (!fs::is_directory(folder, ec)) {
        why = "is in a folder that does not exist";
    } else if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        why = "is in a folder that cannot be written";
    }
    if (why.empty())
        return true;
    std::fprintf(stderr, "pelora2-trace %s: %s %s\n", subcommand.c_str(), path.c_str(), why.c_str());
    return false;
}

void prependToList(const char *variable, const std::string &value)
{
    const char *old = std::getenv(variable);
    ::setenv(variable, (old && *old ? value + ":" + old : value).c_str(), 1);
}

int endOfTrace(const std::string &subcommand, const trace::Reader &reader)
{
    if (!reader.truncated())
        return kOk;
    std::fprintf(stderr, "pelora2-trace %s: truncated trace: %s\n", subcommand.c_str(),
                 reader.error().c_str());
    return kFinding;
}

const char *opName(const trace::Record &r)
{
    const char *name = r.kind == trace::Kind::Call       ? trace::OperationName(r.op)
                       : r.kind == trace::Kind::Callback ? trace::CallbackName(r.op)
                                                         : "Note";
    return *name != '\0' ? name : "?";
}

bool argIsAddress(const trace::Record &r, size_t i)
{
    if (r.kind == trace::Kind::Callback)
        return r.op == trace::kImageTransferHook && i == 4;
    switch (r.op) {
    case 1: return i >= 1;                    // BoardOpen: callbacks and out pointers
    case 4: case 18: return i == 1;           // IoRead*: value pointer
    case 9: return i == 0;                    // ImageRequest: buffer (0: the library's)
    case 10: case 20: return true;            // ErrorInfoGet, OperationInfoGet: out pointers
    case 16: case 17: return i == 3;          // FrameMemory*: buffer
    default: return false;
    }
}

bool outputIsAddress(const trace::Record &r, size_t i)
{
    return r.kind == trace::Kind::Call && r.op == 1 && i < 2; // BoardOpen: the two addresses
}

void formatRecord(const trace::Record &r, std::string &line)
{
    char buf[1024];
    char *p = buf;
    p += std::snprintf(p, 64, "#%" PRIu64 " %" PRIu64 ".%06" PRIu64 " t%u ", r.number,
                       r.timeNs / 1000000000u, (r.timeNs / 1000u) % 1000000u, r.thread);
    line.append(buf, size_t(p - buf));
    if (r.kind == trace::Kind::Note) {
        line += "note: ";
        line += r.text;
        line += '\n';
        return;
    }
    p = buf;
    if (r.kind == trace::Kind::Callback) {
        std::memcpy(p, "<- ", 3);
        p += 3;
    }
    const char *name = opName(r);
    const size_t n = std::strlen(name);
    std::memcpy(p, name, n);
    p += n;
    *p++ = '(';
    for (size_t i = 0; i < r.args.size() && i < 12; ++i) {
        if (i) {
            *p++ = ',';
            *p++ = ' ';
        }
        p = hex(p, r.args[i]);
    }
    *p++ = ')';
    if (r.kind == trace::Kind::Call)
        p += std::snprintf(p, 24, " = %d", int(r.result));
    if (!r.outputs.empty()) {
        std::memcpy(p, " ->", 3);
        p += 3;
        for (size_t i = 0; i < r.outputs.size() && i < 8; ++i) {
            *p++ = ' ';
            p = hex(p, r.outputs[i]);
        }
    }
    p += std::snprintf(p, 48, " [%" PRIu64 " us]", r.durationNs / 1000u);
    if (r.dataKind != trace::DataKind::None) {
        static const char *const kinds[] = {"", "lines", "read", "written", "histories", "file"};
        const unsigned k = unsigned(r.dataKind) <= 5 ? unsigned(r.dataKind) : 0;
        p += std::snprintf(p, 96, " %s %" PRIu64 " bytes at +%" PRIu64 "%s", kinds[k], r.dataSize,
                           r.dataOffset, r.dataKept ? "" : " NOT KEPT");
        if (trace::packedLines(r))
            p += std::snprintf(p, 96, " (%" PRIu64 " bytes of pixels: lines of %" PRIu64
                               " at a pitch of %" PRIu64 ")",
                               trace::pixelBytes(r), r.lineBytes, r.linePitch);
    }
    line.append(buf, size_t(p - buf));
    if (!r.text.empty()) {
        line += " \"";
        line += r.text;
        line += '"';
    }
    line += '\n';
}

void PictureState::update(const trace::Record &r)
{
    if (r.kind != trace::Kind::Call || r.result != 0)
        return;
    auto merge = [&](uint32_t reg, uint32_t &word, uint32_t width) {
        if (r.args.size() < 2)
            return;
        const uint32_t offset = uint32_t(r.args[0]), value = uint32_t(r.args[1]);
        for (uint32_t i = 0; i < width; ++i) {
            const uint32_t at = offset + i;
            if (at >= reg && at < reg + 4) {
                const uint32_t shift = 8 * (at - reg);
                word = (word & ~(0xFFu << shift)) | (((value >> (8 * i)) & 0xFFu) << shift);
            }
        }
    };
    if (r.op == 5 || r.op == 19) {
        merge(REG_MAC_H_UDTCSR, geometry, r.op == 5 ? 4 : 2);
        merge(REG_DIO_IMG_GETMODE, getMode, r.op == 5 ? 4 : 2);
    } else if (r.op == 8 && r.args.size() >= 3) {
        frameUnit = (r.args[1] & SCAN_UNIT_FRAME) != 0;
        bytesPerPixel = uint32_t(r.args[2]);
    }
}

} // namespace tool

int main(int argc, char **argv)
{
    using namespace tool;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kUsage : kOk;
    }
    for (const Subcommand &s : subcommands())
        if (std::strcmp(argv[1], s.name) == 0)
            return s.run(std::vector<std::string>(argv + 2, argv + argc));
    std::fprintf(stderr, "pelora2-trace: unknown subcommand %s\n", argv[1]);
    printUsage(stderr);
    return kUsage;
}
