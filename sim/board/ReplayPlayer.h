// Replay mode of the simulated board (PELORA_SIM_REPLAY=FILE, or SimReplayStart): the board
// answers the program's calls from a recorded session and makes the recorded callbacks, until
// the program makes a call the recording does not have at that point. From then on the live
// board answers, as it would without a recording.
//
// Threads: the program's threads call answer/open/close; two lane threads of the player make
// the recorded callbacks, as the board's own threads would: the delivery lane
// (ImageTransferHook, ScanEndCallback) and the event lane (ScanBufferFreeCallback,
// DspInterruptCallback). No lock is held while a callback runs or while a call waits out its
// recorded duration.
#pragma once

#include "Board.h"
#include "ReplayScript.h"
#include "RequestQueue.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct SimReplayInfo;

namespace sim {

// Where a replayed call puts the recorded outputs (and what it hands in that matters).
struct ReplayOutputs {
    const uint8_t *written = nullptr; // FrameMemoryWrite: the caller's bytes ...
    size_t writtenCount = 0;          // ... and how many
    std::array<void *, 5> words{}; // 32-bit outputs, in the order the record keeps them
    uint8_t *bytes = nullptr;      // FrameMemoryRead: the caller's buffer ...
    size_t byteCount = 0;          // ... and the bytes it asked for
    uint32_t *histories[4] = {};   // OperationInfoGet
};

class ReplayPlayer {
public:
    // The process's player; reads PELORA_SIM_REPLAY and PELORA_SIM_REPLAY_SPEED on first use.
    static ReplayPlayer &instance();

    // Replays `source` from now on (no board may be open). name: what reports call it.
    void start(std::unique_ptr<RecordSource> source, double speed, const std::string &name);
    // No replay any more (SimReset, SimReplayStop); waits for a callback in progress.
    void stop();

    // The recorded answer to a call, or none: the live board answers (no replay, or the replay
    // has diverged), and `h` is then the live board's handle. Any program thread.
    std::optional<int32_t> answer(int op, std::initializer_list<uint64_t> args,
                                  const ReplayOutputs &out, BoardHandle &h);
    std::optional<BoardHandle> open(uint32_t index, const Callbacks &callbacks,
                                    std::initializer_list<uint64_t> args, void **first,
                                    void **second, uint32_t *errorCode);
    std::optional<int32_t> close(BoardHandle &h);

    // For simctl: -1 without a replay.
    int info(SimReplayInfo *out);

private:
    ReplayPlayer();
    enum class State { Off, Scripted, Live };

    // All with mutex_ held.
    std::optional<trace::Record> takeLocked(std::unique_lock<std::mutex> &lock, int op,
                                            const std::vector<uint64_t> &args,
                                            const ReplayOutputs *io = nullptr);
    void divergedLocked(const Divergence &d);
    BoardHandle liveLocked(BoardHandle h) const;
    void waitIdleLocked(std::unique_lock<std::mutex> &lock);
    bool onLaneThread() const;
    static void answered(const trace::Record &record, uint64_t calledNs, double speed);

    void laneMain(ReplayScript::Lane lane); // lane threads
    bool needsRequest(const trace::Record &record) const;
    bool requestReadyLocked();
    void *fillLocked(const trace::Record &record, int &slot);

    std::atomic<State> state_{State::Off}; // written under mutex_; read without it for a fast "off"

    // Guards everything below: the script, the requests, the callbacks and the counts.
    std::mutex mutex_;
    std::condition_variable laneCv_; // a call was made, a request came, the script changed
    std::condition_variable idleCv_; // no callback in progress
    std::condition_variable madeCv_; // a callback was taken out of the script
    std::unique_ptr<ReplayScript> script_;
    std::string name_;
    double speed_ = 1.0;
    RequestQueue requests_;        // the program's requests, as the board would hold them
    Callbacks callbacks_;          // of the open board; empty while none is open
    std::map<BoardHandle, BoardHandle> liveHandles_; // recorded handle -> the live board's
    int inFlight_ = 0;             // callbacks running now
    std::optional<Divergence> divergence_;
    uint64_t callbacksMade_ = 0, deliveriesDropped_ = 0, bytesNotKept_ = 0;
    bool droppedSaid_ = false, readNotKeptSaid_ = false;
    std::array<std::thread, 2> lanes_;
    std::array<std::thread::id, 2> laneIds_;
};

} // namespace sim
