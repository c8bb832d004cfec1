// pelora2-trace: one subcommand per file, each registering itself in the table main() looks
// names up in. Exit statuses are the checker's: 0 done, 1 a finding (differences, a truncated
// trace, data not kept), 2 bad usage or a file that is not a readable trace, 3 the command could
// not be started.
#ifndef PELORA_TRACE_TOOL_H
#define PELORA_TRACE_TOOL_H

#include "trace/format/TraceFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tool {

enum Status { kOk = 0, kFinding = 1, kUsage = 2, kCannotRun = 3 };

struct Subcommand {
    const char *name;
    const char *usage;   // the arguments, for the usage text
    const char *summary; // one line
    int (*run)(const std::vector<std::string> &args); // the arguments after the name
};

// Adds a subcommand to the table (a static object in the subcommand's file).
struct Registration {
    explicit Registration(const Subcommand &subcommand);
};
const std::vector<Subcommand> &subcommands();

int usageError(const std::string &subcommand, const std::string &why);
// Opens a trace; null (and a message on stderr) when it is not a readable trace.
std::unique_ptr<trace::Reader> openTrace(const std::string &subcommand, const std::string &path);
// Whether `path` may receive a new trace: a new name in a writable folder, or an earlier trace
// (replaced). Anything else (a folder, a file that is not a trace, one of `inputs`) is refused
// with a message on stderr before anything is run or written, so no other file is lost.
bool traceDestinationOk(const std::string &subcommand, const std::string &path,
                        const std::vector<std::string> &inputs = {});
// Puts `value` first in the colon-separated list an environment variable holds (LD_PRELOAD,
// LD_LIBRARY_PATH), for the command this process starts.
void prependToList(const char *variable, const std::string &value);
// The status after reading a trace to its end: kFinding (and a message) when it was truncated.
int endOfTrace(const std::string &subcommand, const trace::Reader &reader);

// Operation and callback names.
const char *opName(const trace::Record &record);
// Whether argument `i` (or output `i`) of the record is an address, which differs from run to run.
bool argIsAddress(const trace::Record &record, size_t i);
bool outputIsAddress(const trace::Record &record, size_t i);
// One line per record: number, time, thread, then the call as PELORA_SIM_TRACE prints it
// ("IoReadLong(0x8, 0x7ffd...) = 0"), out parameters and data after it.
void formatRecord(const trace::Record &record, std::string &line);

// What a trace says about the pictures it carries, record by record (frames, diff, info).
struct PictureState {
    uint32_t geometry = 0; // lines << 16 | pixels
    uint32_t getMode = 0;
    uint32_t bytesPerPixel = 1;
    bool frameUnit = true;
    void update(const trace::Record &record); // a call that changes one of them
    uint32_t pixels() const { return geometry & 0xFFFF; }
    uint32_t lines() const { return geometry >> 16; }
    bool live() const { return getMode == 3; }
};

} // namespace tool

#endif
