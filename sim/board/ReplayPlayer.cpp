#include "ReplayPlayer.h"

#include "Journal.h"
#include "Registry.h"
#include "simctl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

// A delivery due while the program has no request waits this long for one, then is dropped.
constexpr uint64_t kRequestGraceNs = 1'000'000'000;
// A call waits at most this long for the callbacks that began before it in the recording.
constexpr auto kOrderWait = std::chrono::seconds(1);

// The recorded callback a lane thread is making now, if any (calls from inside it are timed
// from it: ReplayScript::Within).
thread_local std::optional<ReplayScript::Within> t_within;
thread_local std::optional<ReplayScript::Lane> t_lane; // set on the lane threads

Clock::time_point at(uint64_t ns)
{
    return Clock::time_point(std::chrono::nanoseconds(ns));
}

void copyText(char *to, size_t size, const std::string &from)
{
    const size_t n = std::min(size - 1, from.size());
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

} // namespace

ReplayPlayer::ReplayPlayer() = default;

void ReplayPlayer::start(std::unique_ptr<RecordSource> source, double speed,
                         const std::string &name)
{
    std::unique_lock lock(mutex_);
    waitIdleLocked(lock);
    speed_ = speed;
    script_ = std::make_unique<ReplayScript>(std::move(source), speed, Journal::now());
    name_ = name;
    requests_.dropAll();
    callbacks_ = {};
    liveHandles_.clear();
    divergence_.reset();
    callbacksMade_ = deliveriesDropped_ = bytesNotKept_ = 0;
    droppedSaid_ = readNotKeptSaid_ = false;
    state_ = State::Scripted;
    // The lanes start with the first replay and then serve every later one (the player lives as
    // long as the process).
    for (int i = 0; i < 2; ++i)
        if (!lanes_[i].joinable()) {
            lanes_[i] = std::thread([this, i] { laneMain(static_cast<ReplayScript::Lane>(i)); });
            laneIds_[i] = lanes_[i].get_id();
        }
    laneCv_.notify_all();
}

void ReplayPlayer::stop()
{
    std::unique_lock lock(mutex_);
    state_ = State::Off;
    script_.reset();
    madeCv_.notify_all();
    callbacks_ = {};
    requests_.dropAll();
    liveHandles_.clear();
    waitIdleLocked(lock);
}

bool ReplayPlayer::onLaneThread() const
{
    const auto me = std::this_thread::get_id();
    return me == laneIds_[0] || me == laneIds_[1];
}

// A callback that closes the board or ends the replay cannot wait for itself.
void ReplayPlayer::waitIdleLocked(std::unique_lock<std::mutex> &lock)
{
    if (!onLaneThread())
        idleCv_.wait(lock, [&] { return inFlight_ == 0; });
}

BoardHandle ReplayPlayer::liveLocked(BoardHandle h) const
{
    const auto it = liveHandles_.find(h);
    return it == liveHandles_.end() ? h : it->second;
}

std::optional<trace::Record> ReplayPlayer::takeLocked(std::unique_lock<std::mutex> &lock, int op,
                                                      const std::vector<uint64_t> &args,
                                                      const ReplayOutputs *io)
{
    if (state_ != State::Scripted || !script_)
        return std::nullopt;
    Divergence d;
    std::optional<ReplayScript::Written> written;
    if (io != nullptr && io->written != nullptr)
        written = ReplayScript::Written{io->written, io->writtenCount};
    auto record = script_->takeCall(op, args, Journal::now(), &d, t_within, written);
    if (!record) {
        divergedLocked(d);
        laneCv_.notify_all();
        return record;
    }
    laneCv_.notify_all();
    // Threads race: a call that came after a callback in the recording (a clear after the
    // delivery the program waited for) is answered only once that callback has begun, so the
    // program sees them in the recorded order. Bounded, in case the program never makes the
    // call the callback waits for.
    const uint64_t recordedNs = record->timeNs;
    madeCv_.wait_for(lock, kOrderWait, [&] {
        return state_ != State::Scripted || !script_ ||
               !script_->callbackPendingBefore(recordedNs, t_lane);
    });
    return record;
}

void ReplayPlayer::divergedLocked(const Divergence &d)
{
    state_ = State::Live;
    divergence_ = d;
    madeCv_.notify_all();
    requests_.dropAll();
    std::fprintf(stderr, "PEL2CTL simulator: replay of %s: %s; the board goes on live\n",
                 name_.c_str(), d.text().c_str());
    // For pelora2-trace replay, which prints it again once the command has ended.
    if (const char *report = std::getenv("PELORA_SIM_REPLAY_REPORT");
        report != nullptr && *report != '\0') {
        if (std::FILE *f = std::fopen(report, "w")) {
            std::fprintf(f, "%s\n", d.text().c_str());
            std::fclose(f);
        }
    }
    Journal::instance().record(SIM_JOURNAL_REPLAY_DIVERGENCE,
                               {d.record, static_cast<uint64_t>(d.calledOp),
                                static_cast<uint64_t>(d.expectedOp)},
                               -1, Journal::now());
}

// Waits out what is left of the call's recorded duration (program thread, no lock held).
void ReplayPlayer::answered(const trace::Record &record, uint64_t calledNs, double speed)
{
    if (speed <= 0)
        return;
    const uint64_t due = calledNs + static_cast<uint64_t>(record.durationNs / speed);
    if (Journal::now() < due)
        std::this_thread::sleep_until(at(due));
}

std::optional<int32_t> ReplayPlayer::answer(int op, std::initializer_list<uint64_t> args,
                                            const ReplayOutputs &out, BoardHandle &h)
{
    if (state_ == State::Off)
        return std::nullopt;
    const uint64_t calledNs = Journal::now();
    const std::vector<uint64_t> argv(args);
    std::unique_lock lock(mutex_);
    auto record = takeLocked(lock, op, argv, &out);
    const double speed = speed_;
    if (!record) {
        h = liveLocked(h);
        return std::nullopt;
    }
    if (op == SIM_OP_FrameMemoryRead && record->result == 0 && !record->dataKept) {
        bytesNotKept_ += record->dataSize;
        if (!readNotKeptSaid_)
            std::fprintf(stderr, "PEL2CTL simulator: replay of %s: record %llu: the recording did "
                                 "not keep the bytes of this frame memory read; zeros given\n",
                         name_.c_str(), static_cast<unsigned long long>(record->number));
        readNotKeptSaid_ = true;
    }
    // The requests the recorded deliveries will be written into.
    if (record->result == 0) {
        if (op == SIM_OP_ImageRequest)
            requests_.add(reinterpret_cast<void *>(argv[0]), static_cast<uint32_t>(argv[1]));
        else if (op == SIM_OP_ImageRequestClear || op == SIM_OP_BoardReset)
            requests_.dropAll(); // a fill happens under the lock: none is in progress
    }
    lock.unlock();

    for (size_t i = 0; i < out.words.size() && i < record->outputs.size(); ++i)
        if (out.words[i] != nullptr) {
            const auto v = static_cast<uint32_t>(record->outputs[i]);
            std::memcpy(out.words[i], &v, sizeof v);
        }
    if (out.bytes != nullptr && record->result == 0 &&
        record->dataKind == trace::DataKind::FrameRead) {
        // Never more than the caller asked for; what the recording did not keep reads as zero.
        const size_t n = std::min(out.byteCount, record->data.size());
        std::memcpy(out.bytes, record->data.data(), n);
        std::memset(out.bytes + n, 0, out.byteCount - n);
    }
    if (record->result == 0 && record->dataKind == trace::DataKind::History) {
        for (size_t i = 0; i < 4; ++i) {
            if (out.histories[i] == nullptr)
                continue;
            const size_t bytes = OPERATION_HISTORY_LENGTH * sizeof(uint32_t);
            const size_t from = i * bytes;
            const size_t n = record->data.size() > from ? std::min(bytes, record->data.size() - from) : 0;
            std::memset(out.histories[i], 0, bytes);
            if (n != 0)
                std::memcpy(out.histories[i], record->data.data() + from, n);
        }
    }
    answered(*record, calledNs, speed);
    return record->result;
}

std::optional<BoardHandle> ReplayPlayer::open(uint32_t index, const Callbacks &callbacks,
                                              std::initializer_list<uint64_t> args, void **first,
                                              void **second, uint32_t *errorCode)
{
    if (state_ == State::Off)
        return std::nullopt;
    const uint64_t calledNs = Journal::now();
    std::unique_lock lock(mutex_);
    auto record = takeLocked(lock, SIM_OP_BoardOpen, std::vector<uint64_t>(args));
    const double speed = speed_;
    if (!record)
        return std::nullopt; // the live board opens it
    const auto handle = static_cast<BoardHandle>(record->result);
    if (handle != BOARD_INVALID_HANDLE)
        callbacks_ = callbacks;
    lock.unlock();

    if (first != nullptr)
        *first = nullptr;
    if (second != nullptr)
        *second = nullptr;
    if (handle != BOARD_INVALID_HANDLE) {
        // The live board stands behind the recorded one: its memory window is the one the
        // program fills, and it answers once the replay diverges.
        uint32_t liveError = 0;
        const BoardHandle live =
            Registry::instance().open(index, callbacks, first, second, &liveError);
        lock.lock();
        if (live != BOARD_INVALID_HANDLE)
            liveHandles_[handle] = live;
        lock.unlock();
    }
    if (errorCode != nullptr && record->outputs.size() > 2)
        *errorCode = static_cast<uint32_t>(record->outputs[2]);
    answered(*record, calledNs, speed);
    return handle;
}

std::optional<int32_t> ReplayPlayer::close(BoardHandle &h)
{
    if (state_ == State::Off)
        return std::nullopt;
    const uint64_t calledNs = Journal::now();
    std::unique_lock lock(mutex_);
    auto record = takeLocked(lock, SIM_OP_BoardClose, {});
    const double speed = speed_;
    if (!record) {
        h = liveLocked(h);
        return std::nullopt;
    }
    BoardHandle live = BOARD_INVALID_HANDLE;
    if (record->result == 0) {
        // No callback after a close returns: none starts from here, and one in progress ends.
        callbacks_ = {};
        requests_.dropAll();
        waitIdleLocked(lock);
        if (const auto it = liveHandles_.find(h); it != liveHandles_.end()) {
            live = it->second;
            liveHandles_.erase(it);
        }
    }
    lock.unlock();
    if (live != BOARD_INVALID_HANDLE)
        Registry::instance().close(live);
    answered(*record, calledNs, speed);
    return record->result;
}

// ---- lane threads ------------------------------------------------------------------------------

// A hook call for an image or a size report takes the oldest request; a lost-run report does not.
bool ReplayPlayer::needsRequest(const trace::Record &record) const
{
    return record.op == trace::kImageTransferHook && !record.args.empty() &&
           (record.args[0] & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES | HOOK_FLAG_AREA_SIZE)) != 0;
}

bool ReplayPlayer::requestReadyLocked()
{
    return !requests_.empty() && (!requests_.frontNeedsSlot() || requests_.slotFree());
}

// Writes the recorded lines into the buffer the oldest request names now and returns the
// address the hook is given. Lane thread, lock held.
void *ReplayPlayer::fillLocked(const trace::Record &record, int &slot)
{
    const RequestQueue::Request request = requests_.pop();
    const bool namesBuffer = record.args.size() > 4 && record.args[4] != 0;
    if (!namesBuffer)
        return nullptr; // a size report for the library's buffer names none
    uint8_t *base = request.buffer;
    size_t capacity = request.size;
    if (base == nullptr) {
        base = requests_.takeSlot(slot);
        capacity = RequestQueue::kSlotBytes;
        if (base == nullptr)
            return nullptr;
    }
    if (record.dataKind == trace::DataKind::Lines) {
        if (!record.dataKept)
            bytesNotKept_ += trace::pixelBytes(record);
        else // at the recorded offsets, never past the end of the buffer
            trace::layOut(record, base, capacity);
    }
    return base;
}

void ReplayPlayer::laneMain(ReplayScript::Lane lane)
{
    t_lane = lane;
    std::unique_lock lock(mutex_);
    for (;;) {
        const ReplayScript::Callback *next =
            state_ == State::Scripted && script_ ? script_->peek(lane) : nullptr;
        if (next == nullptr) {
            laneCv_.wait(lock);
            continue;
        }
        const uint64_t now = Journal::now();
        const uint64_t due = *next->dueNs;
        if (due > now) {
            laneCv_.wait_until(lock, at(due));
            continue;
        }
        const bool needs = needsRequest(next->record);
        if (needs && !requestReadyLocked() && callbacks_.hook != nullptr) {
            if (now < due + kRequestGraceNs) {
                laneCv_.wait_until(lock, at(due + kRequestGraceNs));
                continue;
            }
            ++deliveriesDropped_;
            if (!droppedSaid_)
                std::fprintf(stderr, "PEL2CTL simulator: replay of %s: record %llu delivered "
                                     "into no request (the program had none pending); dropped\n",
                             name_.c_str(),
                             static_cast<unsigned long long>(next->record.number));
            droppedSaid_ = true;
            script_->pop(lane);
            madeCv_.notify_all();
            continue;
        }
        const ReplayScript::Callback cb = script_->pop(lane);
        madeCv_.notify_all();
        const Callbacks fns = callbacks_;
        const trace::Record &r = cb.record;
        auto arg = [&](size_t i) { return i < r.args.size() ? r.args[i] : 0; };
        int slot = -1;
        void *data = nullptr;
        if (needs && fns.hook != nullptr)
            data = fillLocked(r, slot);
        ++inFlight_;
        ++callbacksMade_;
        lock.unlock();
        const auto value = static_cast<int32_t>(arg(0));
        t_within = ReplayScript::Within{*cb.dueNs, r.timeNs};
        switch (r.op) {
        case trace::kImageTransferHook:
            if (fns.hook != nullptr)
                fns.hook(static_cast<uint32_t>(arg(0)), static_cast<uint32_t>(arg(1)),
                         static_cast<uint32_t>(arg(2)), static_cast<uint32_t>(arg(3)), data);
            break;
        case trace::kScanBufferFree:
            if (fns.bufferFree != nullptr)
                fns.bufferFree(value);
            break;
        case trace::kDspInterrupt:
            if (fns.dspInterrupt != nullptr)
                fns.dspInterrupt(value);
            break;
        case trace::kScanEnd:
            if (fns.scanEnd != nullptr)
                fns.scanEnd(value);
            break;
        default:
            break;
        }
        t_within.reset();
        lock.lock();
        requests_.releaseSlot(slot);
        --inFlight_;
        idleCv_.notify_all();
    }
}

int ReplayPlayer::info(SimReplayInfo *out)
{
    std::lock_guard lock(mutex_);
    if (state_ == State::Off || out == nullptr)
        return -1;
    *out = SimReplayInfo{};
    out->diverged = divergence_.has_value() ? 1 : 0;
    out->finished = script_ && !divergence_ && script_->finished() ? 1 : 0;
    out->recordsRead = script_ ? script_->recordsRead() : 0;
    out->callsMatched = script_ ? script_->callsMatched() : 0;
    out->callbacksMade = callbacksMade_;
    out->deliveriesDropped = deliveriesDropped_;
    out->bytesNotKept = bytesNotKept_;
    copyText(out->name, sizeof out->name, name_);
    if (divergence_) {
        out->divergenceRecord = divergence_->record;
        copyText(out->called, sizeof out->called, divergence_->called);
        copyText(out->expected, sizeof out->expected, divergence_->expected);
    }
    return 0;
}

} // namespace sim
