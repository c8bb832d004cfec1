// pelora2-trace diff A B: the calls and callbacks in which two traces differ, ignoring addresses,
// times and threads. Calls and callbacks are compared as two sequences of their own (the order
// between a callback thread and the program's threads is not the board's behaviour); a record
// missing on one side is named as such, so one extra call does not make the rest differ.
#include "Tool.h"

#include "trace/format/Encoding.h"

#include <cinttypes>
#include <cstdio>

namespace tool {
namespace {

constexpr size_t kLookAhead = 64;   // records searched for a match after a difference
constexpr size_t kMaxReported = 50; // differences printed

struct Item {
    uint64_t number;
    std::string key;  // what must be equal
    std::string text; // what is printed
};

std::string hex(uint64_t v)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

// The record without what changes from run to run, numbers as `dump` shows them.
std::string keyOf(const trace::Record &r)
{
    std::string k = opName(r);
    k += '(';
    for (size_t i = 0; i < r.args.size(); ++i) {
        if (i)
            k += ", ";
        if (argIsAddress(r, i))
            k += r.args[i] ? "addr" : "0";
        else
            k += hex(r.args[i]);
    }
    k += ')';
    if (r.kind == trace::Kind::Call)
        k += " = " + std::to_string(r.result);
    if (!r.outputs.empty())
        k += " ->";
    for (size_t i = 0; i < r.outputs.size(); ++i)
        k += outputIsAddress(r, i) ? (r.outputs[i] ? " addr" : " 0") : " " + hex(r.outputs[i]);
    if (r.dataKind != trace::DataKind::None) {
        k += " data " + std::to_string(int(r.dataKind)) + ":" + std::to_string(r.dataSize) + "@" +
             std::to_string(r.dataOffset);
        if (r.dataKept) {
            char crc[16];
            // Over the bytes as they lay in the buffer: a trace that stores lines packed compares
            // equal to one that stored them with the bytes between them.
            const std::vector<uint8_t> bytes = trace::laidOut(r);
            const uint32_t sum = trace::enc::crc32c(bytes.data(), bytes.size());
            std::snprintf(crc, sizeof crc, " crc %08x", sum);
            k += crc;
        }
    }
    if (!r.text.empty())
        k += " \"" + r.text + "\"";
    return k;
}

bool load(const std::string &path, std::vector<Item> &calls, std::vector<Item> &callbacks, int &status)
{
    auto reader = openTrace("diff", path);
    if (!reader)
        return false;
    trace::Record r;
    while (reader->next(&r)) {
        if (r.kind == trace::Kind::Note)
            continue;
        (r.kind == trace::Kind::Call ? calls : callbacks).push_back({r.number, keyOf(r), keyOf(r)});
    }
    if (endOfTrace("diff", *reader) != kOk)
        status = kFinding;
    return true;
}

// Whether an unkept side makes the data part unknown: then only the rest must match.
bool same(const Item &a, const Item &b)
{
    if (a.key == b.key)
        return true;
    const size_t ca = a.key.find(" crc "), cb = b.key.find(" crc ");
    if ((ca == std::string::npos) == (cb == std::string::npos))
        return false;
    const std::string &kept = ca != std::string::npos ? a.key : b.key;
    const std::string &other = ca != std::string::npos ? b.key : a.key;
    const size_t at = std::min(ca, cb);
    return kept.compare(0, at, other, 0, at) == 0 && kept.compare(at + 13, std::string::npos, other, at, std::string::npos) == 0;
}

size_t compare(const char *what, const std::vector<Item> &a, const std::vector<Item> &b, size_t reported)
{
    size_t i = 0, j = 0, found = 0;
    auto report = [&](const std::string &line) {
        if (reported + found < kMaxReported)
            std::printf("%s\n", line.c_str());
        ++found;
    };
    auto at = [](const Item &it) { return "#" + std::to_string(it.number) + " " + it.text; };
    while (i < a.size() || j < b.size()) {
        if (i < a.size() && j < b.size() && same(a[i], b[j])) {
            ++i;
            ++j;
            continue;
        }
        size_t skipA = 0, skipB = 0; // records only in A (or only in B) before the next match
        for (size_t k = 1; k <= kLookAhead && !skipA && !skipB; ++k) {
            if (i + k < a.size() && j < b.size() && same(a[i + k], b[j]))
                skipA = k;
            else if (j + k < b.size() && i < a.size() && same(a[i], b[j + k]))
                skipB = k;
        }
        if (i >= a.size())
            skipB = b.size() - j;
        else if (j >= b.size())
            skipA = a.size() - i;
        if (skipA) {
            for (size_t k = 0; k < skipA; ++k)
                report(std::string(what) + " only in A: " + at(a[i + k]));
            i += skipA;
        } else if (skipB) {
            for (size_t k = 0; k < skipB; ++k)
                report(std::string(what) + " only in B: " + at(b[j + k]));
            j += skipB;
        } else {
            report(std::string(what) + " differs: A " + at(a[i]) + "\n" + std::string(std::char_traits<char>::length(what) + 9, ' ') + "B " + at(b[j]));
            ++i;
            ++j;
        }
    }
    return found;
}

int diff(const std::vector<std::string> &args)
{
    if (args.size() != 2)
        return usageError("diff", "two trace files expected");
    std::vector<Item> callsA, callsB, callbacksA, callbacksB;
    int status = kOk;
    if (!load(args[0], callsA, callbacksA, status) || !load(args[1], callsB, callbacksB, status))
        return kUsage;
    size_t found = compare("call", callsA, callsB, 0);
    found += compare("callback", callbacksA, callbacksB, found);
    if (found > kMaxReported)
        std::printf("... %zu differences in all\n", found);
    if (found == 0)
        std::printf("same calls, results, callbacks and data (%zu calls, %zu callbacks)\n", callsA.size(),
                    callbacksA.size());
    return found != 0 ? kFinding : status;
}

const Registration reg({"diff", "A B", "calls, results, callbacks and data that differ (not addresses or times)",
                        diff});

} // namespace
} // namespace tool
