// What a board-session trace holds, record by record. The recorder (trace/recorder) writes these,
// the simulated board's replay mode and pelora2-trace read them. Plain C++, no Qt: it is linked
// into the simulated board and the recorder library as well as the tool.
#ifndef PELORA_TRACE_RECORD_H
#define PELORA_TRACE_RECORD_H

#include <cstdint>
#include <string>
#include <vector>

namespace trace {

enum class Kind : uint8_t {
    Call = 1,     // one call into the board control library, with its result and outputs
    Callback = 2, // one call of a callback the program registered, as the library made it
    Note = 3,     // something the recorder itself says (pixels not kept, a queue overrun, ...)
};

// Callback numbering (Record::op of a Callback record).
enum CallbackOp : int {
    kImageTransferHook = 1, // args: flags, startLine, lineCount, bufferKind, data address
    kScanBufferFree = 2,    // args: value
    kDspInterrupt = 3,      // args: value
    kScanEnd = 4,           // args: value
};

// What the data of a record is.
enum class DataKind : uint8_t {
    None = 0,
    Lines = 1,       // hook: the delivered bytes, starting `dataOffset` bytes into the buffer the
                     // hook's data address names
    FrameRead = 2,   // FrameMemoryRead: the bytes the library wrote into the caller's buffer
    FrameWrite = 3,  // FrameMemoryWrite: the bytes the caller handed in
    History = 4,     // OperationInfoGet: the four histories, 4 x 1024 uint32, little-endian
    DspFile = 5,     // DspDownload: the file's contents as the library was given them
};

struct Record {
    uint64_t number = 0;      // 0-based position in the trace (the header is not a record)
    Kind kind = Kind::Call;
    int op = 0;               // Call: SimOp numbering of simctl.h (1 BoardOpen .. 20
                              // OperationInfoGet); Callback: CallbackOp
    uint32_t thread = 0;      // 1 for the first thread the recorder saw, 2 for the next, ...
    uint64_t timeNs = 0;      // entry time, from the start of the recording
    uint64_t durationNs = 0;  // Call: time inside the library; Callback: inside the program
    std::vector<uint64_t> args; // as the simulator's journal: the arguments after the handle,
                                // pointers as addresses, strings as their length (DspDownload)
    int32_t result = 0;         // Call: its return value (BoardOpen: the handle); else 0
    std::vector<uint64_t> outputs; // Call: out parameters after it returned, in the order of
                                   // the declaration (BoardOpen: first and second address,
                                   // error code; IoRead*: value; ErrorInfoGet: both counts;
                                   // OperationInfoGet: first and the four indices)
    DataKind dataKind = DataKind::None;
    bool dataKept = true;      // false: the recorder could not keep the bytes (queue full)
    uint64_t dataSize = 0;     // bytes that crossed, kept or not
    uint64_t dataOffset = 0;   // Lines: offset of the first byte in the named buffer
    // Lines whose layout is kept apart from their bytes: the bytes are the lines back to back,
    // `lineBytes` each, which lay `linePitch` apart in the buffer (dataSize spans them there).
    // 0: the bytes are stored as they lay in the buffer (every record of a version 1 trace).
    uint64_t lineBytes = 0;
    uint64_t linePitch = 0;
    std::vector<uint8_t> data; // the bytes, when kept (uncompressed once read)
    std::string text;          // DspDownload: the path as given; Note: the recorder's words
};

// Written once at the start of a trace.
struct Header {
    uint32_t version = 2; // of the file read; a writer always writes the newest
    std::string libraryPath; // the board library the recorder forwarded to
    std::string command;     // the command line that was recorded, space-separated
    uint64_t startUnixNs = 0;
    std::string host;
};

// Lines stored without the bytes between them (see Record::lineBytes).
inline bool packedLines(const Record &r)
{
    return r.dataKind == DataKind::Lines && r.lineBytes > 0 && r.linePitch > r.lineBytes;
}
// The bytes of pixels a record holds or would have held: the lines alone when their layout is
// known, else the span they cover.
uint64_t pixelBytes(const Record &r);
// Puts the record's stored bytes where they lay in a buffer of `capacity` bytes: from
// dataOffset, each line at its pitch, never past the end; the bytes between lines are left as
// they are.
void layOut(const Record &r, uint8_t *buffer, size_t capacity);
// The stored bytes as they lay in the buffer from dataOffset on, zeros between lines.
std::vector<uint8_t> laidOut(const Record &r);

} // namespace trace

#endif
