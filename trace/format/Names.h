// The names of the board library's operations and of its callbacks, by the numbers a trace
// records (Record::op). Shared by the tool's listings and the simulated board's journal.
#ifndef PELORA_TRACE_NAMES_H
#define PELORA_TRACE_NAMES_H

namespace trace {

constexpr int kOperationCount = 20; // numbered 1 (BoardOpen) .. 20 (OperationInfoGet)

// "" for a number that names no operation / callback.
const char *OperationName(int op);
const char *CallbackName(int op);

} // namespace trace

#endif
