// The recorded session a replay follows: the calls the program is expected to make, in their
// order, and the callbacks the board made after them, each due at the recorded distance from the
// call it followed. Plain logic over trace records, no threads and no lock: the player
// (ReplayPlayer) guards it with its own lock.
#pragma once

#include "TraceRecord.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// A trace's records, front to back: a file, or records held in memory.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual bool next(trace::Record *record) = 0;
    // Why the records ended before the end of the file (a cut or damaged block); empty when not.
    virtual std::string stopReason() const { return {}; }
};

class MemorySource : public RecordSource {
public:
    explicit MemorySource(std::vector<trace::Record> records) : records_(std::move(records)) {}
    bool next(trace::Record *record) override;

private:
    std::vector<trace::Record> records_;
    size_t next_ = 0;
};

// Whether two calls of an operation are the same call: the arguments that matter are equal
// (addresses never matter; for ImageRequest only whether the buffer is the library's does).
bool sameCall(int op, const std::vector<uint64_t> &a, const std::vector<uint64_t> &b);
// "IoWriteLong(0x44, 0x4000400)": the operation with the arguments that matter.
std::string describeCall(int op, const std::vector<uint64_t> &args);

struct Divergence {
    uint64_t record = 0;  // the record the recording has at that point (or the count of
                          // records when the recording had ended)
    int calledOp = 0;     // what the program called
    int expectedOp = 0;   // 0: the recording had ended
    std::string called;   // the call, described
    std::string expected; // what the recording has there
    std::string text() const;
};

class ReplayScript {
public:
    // Calls of other threads race: a call is matched among this many of the oldest recorded
    // calls not yet made.
    static constexpr size_t kWindow = 8;
    // Reading runs ahead of the program by up to this many calls and bytes of data: far enough
    // to find the callbacks that were recorded after calls the program makes only once it has
    // seen them (records are in the order they returned).
    static constexpr size_t kMaxAheadCalls = 4096;
    static constexpr uint64_t kMaxAheadBytes = 64ull << 20;

    enum class Lane { Delivery, Events }; // hook and scan end; buffer free and DSP interrupt

    struct Callback {
        trace::Record record;
        uint64_t anchor = 0;   // sequence number of the call it followed (0: none)
        uint64_t delayNs = 0;  // its recorded distance from that call, scaled by the speed
        std::optional<uint64_t> dueNs; // known once the anchor call has been made
    };

    // speed: recorded times are divided by it; 0 makes every wait zero.
    ReplayScript(std::unique_ptr<RecordSource> source, double speed, uint64_t startNs);

    // The callback a call was made from: callbacks that follow such a call are timed from the
    // callback's due time and the recorded distance, so that the replay's own cost of making
    // the callback does not add up from one delivery to the next.
    struct Within {
        uint64_t dueNs, recordedNs;
    };

    // The bytes a FrameMemoryWrite hands in: they matter too, where the recording kept them.
    struct Written {
        const uint8_t *bytes;
        size_t size;
    };

    // A call the program made at nowNs: the recorded call it matches, taken out of the script,
    // or none and *divergence filled; the script then has nothing more to give.
    std::optional<trace::Record> takeCall(int op, const std::vector<uint64_t> &args,
                                          uint64_t nowNs, Divergence *divergence,
                                          std::optional<Within> within = std::nullopt,
                                          std::optional<Written> written = std::nullopt);

    // The next callback of a lane when its time is known (its call has been made), else null
    // (waiting for a call, or none left). pop() takes it out.
    const Callback *peek(Lane lane);
    Callback pop(Lane lane);
    static Lane laneOf(const trace::Record &record);
    // A callback read but not yet made began before `recordedNs` in the recording (callbacks of
    // lane `except` aside: the lane a call is made from cannot move on before it returns).
    bool callbackPendingBefore(uint64_t recordedNs, std::optional<Lane> except) const;

    bool diverged() const { return diverged_; }
    // Everything read and taken.
    bool finished();
    uint64_t recordsRead() const { return recordsRead_; }
    uint64_t callsMatched() const { return callsMatched_; }
    const std::string &stopReason() const { return stopReason_; }

private:
    struct Call {
        uint64_t seq;
        trace::Record record;
    };
    struct Made { // a call already made or still expected, for anchoring callbacks read later
        uint64_t seq, timeNs;
        std::optional<uint64_t> liveNs;
    };

    void readAhead();
    bool readOne();
    void load(trace::Record &&record);
    void callMade(uint64_t seq, uint64_t nowNs);
    uint64_t scaled(uint64_t ns) const;

    std::unique_ptr<RecordSource> source_;
    const double speed_;
    const uint64_t startNs_;
    bool exhausted_ = false;
    bool diverged_ = false;
    std::string stopReason_;
    uint64_t recordsRead_ = 0, callsMatched_ = 0, nextSeq_ = 1;
    uint64_t aheadBytes_ = 0;
    std::deque<Call> window_;       // recorded calls not yet made, in recorded order
    std::deque<Made> recent_;       // the last calls read (anchors for callbacks read later)
    std::deque<Callback> lanes_[2]; // callbacks read, per lane, in recorded order
};

} // namespace sim
