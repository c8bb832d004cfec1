#include "ReplayScript.h"

#include "simctl.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace sim {

bool MemorySource::next(trace::Record *record)
{
    if (next_ >= records_.size())
        return false;
    *record = records_[next_++];
    return true;
}

namespace {

// Bit i set: argument i (after the handle) decides whether a call is the recorded one.
uint32_t argumentsThatMatter(int op)
{
    switch (op) {
    case SIM_OP_BoardOpen:        // board index; the rest are callbacks and output addresses
    case SIM_OP_IoReadLong:       // offset
    case SIM_OP_IoReadShort:
    case SIM_OP_ExclusiveAcquire: // time-out
        return 0x1;
    case SIM_OP_IoWriteLong: // offset, value
    case SIM_OP_IoWriteShort:
    case SIM_OP_ScanDataSet: // offset, bytes
    case SIM_OP_ScanCancel:  // kind, time-out
        return 0x3;
    case SIM_OP_FrameMemoryRead: // bank, offset, count; not the buffer
    case SIM_OP_FrameMemoryWrite:
        return 0x7;
    case SIM_OP_StreamBufferSet:
    case SIM_OP_ScanPrepare:
        return 0xF;
    case SIM_OP_ImageRequest: // the size; of the buffer only whether it is the library's
        return 0x2;
    default: // DspDownload's path is the machine's own; the rest have no arguments that matter
        return 0;
    }
}

uint64_t argAt(const std::vector<uint64_t> &args, size_t i)
{
    return i < args.size() ? args[i] : 0;
}

} // namespace

bool sameCall(int op, const std::vector<uint64_t> &a, const std::vector<uint64_t> &b)
{
    if (op == SIM_OP_ImageRequest && (argAt(a, 0) == 0) != (argAt(b, 0) == 0))
        return false;
    const uint32_t mask = argumentsThatMatter(op);
    for (size_t i = 0; i < 32; ++i)
        if ((mask >> i & 1) != 0 && argAt(a, i) != argAt(b, i))
            return false;
    return true;
}

std::string describeCall(int op, const std::vector<uint64_t> &args)
{
    std::string text = SimOpName(op);
    if (text.empty())
        text = "operation " + std::to_string(op);
    text += '(';
    const uint32_t mask = argumentsThatMatter(op);
    size_t shown = 0;
    for (size_t i = 0; i < args.size() && i < 32; ++i) {
        char arg[32];
        if (op == SIM_OP_ImageRequest && i == 0)
            std::snprintf(arg, sizeof arg, "%s", args[i] == 0 ? "library buffer" : "buffer");
        else if ((mask >> i & 1) != 0)
            std::snprintf(arg, sizeof arg, "0x%" PRIx64, args[i]);
        else
            std::snprintf(arg, sizeof arg, "*");
        text += (shown++ == 0 ? "" : ", ");
        text += arg;
    }
    return text + ')';
}

std::string Divergence::text() const
{
    return "first divergence at record " + std::to_string(record) + ": the program called " +
           called + ", the recording has " + expected;
}

ReplayScript::ReplayScript(std::unique_ptr<RecordSource> source, double speed, uint64_t startNs)
    : source_(std::move(source)), speed_(speed), startNs_(startNs)
{
}

uint64_t ReplayScript::scaled(uint64_t ns) const
{
    return speed_ <= 0 ? 0 : static_cast<uint64_t>(static_cast<double>(ns) / speed_);
}

ReplayScript::Lane ReplayScript::laneOf(const trace::Record &record)
{
    return record.op == trace::kImageTransferHook || record.op == trace::kScanEnd
               ? Lane::Delivery
               : Lane::Events;
}

void ReplayScript::readAhead()
{
    while (!exhausted_ && !diverged_ && window_.size() < kMaxAheadCalls &&
           aheadBytes_ < kMaxAheadBytes && readOne()) {
    }
}

bool ReplayScript::readOne()
{
    trace::Record r;
    if (!source_->next(&r)) {
        exhausted_ = true;
        stopReason_ = source_->stopReason();
        return false;
    }
    ++recordsRead_;
    load(std::move(r));
    return true;
}

void ReplayScript::load(trace::Record &&record)
{
    if (record.kind == trace::Kind::Call) {
        const uint64_t seq = nextSeq_++;
        recent_.push_back(Made{seq, record.timeNs, std::nullopt});
        if (recent_.size() > kMaxAheadCalls + 64)
            recent_.pop_front();
        aheadBytes_ += record.data.size();
        window_.push_back(Call{seq, std::move(record)});
        return;
    }
    if (record.kind != trace::Kind::Callback)
        return; // the recorder's own notes
    Callback cb;
    // The call it followed: the last one read that began before it.
    const Made *anchor = nullptr;
    for (auto it = recent_.rbegin(); it != recent_.rend(); ++it)
        if (it->timeNs <= record.timeNs) {
            anchor = &*it;
            break;
        }
    if (anchor == nullptr && !recent_.empty())
        anchor = &recent_.front();
    if (anchor == nullptr) {
        cb.dueNs = startNs_ + scaled(record.timeNs);
    } else {
        cb.anchor = anchor->seq;
        cb.delayNs = scaled(record.timeNs > anchor->timeNs ? record.timeNs - anchor->timeNs : 0);
        if (anchor->liveNs)
            cb.dueNs = *anchor->liveNs + cb.delayNs;
    }
    aheadBytes_ += record.data.size();
    cb.record = std::move(record);
    lanes_[static_cast<int>(laneOf(cb.record))].push_back(std::move(cb));
}

void ReplayScript::callMade(uint64_t seq, uint64_t nowNs)
{
    for (Made &m : recent_)
        if (m.seq == seq)
            m.liveNs = nowNs;
    for (auto &lane : lanes_)
        for (Callback &cb : lane)
            if (cb.anchor == seq && !cb.dueNs)
                cb.dueNs = nowNs + cb.delayNs;
}

std::optional<trace::Record> ReplayScript::takeCall(int op, const std::vector<uint64_t> &args,
                                                    uint64_t nowNs, Divergence *divergence,
                                                    std::optional<Within> within,
                                                    std::optional<Written> written)
{
    if (diverged_)
        return std::nullopt;
    readAhead();
    // The oldest calls not yet made are read whatever data was read ahead before them.
    while (window_.size() < kWindow && !exhausted_ && readOne()) {
    }
    const size_t span = std::min(kWindow, window_.size());
    bool otherBytes = false;
    for (size_t i = 0; i < span; ++i) {
        auto it = window_.begin() + static_cast<std::ptrdiff_t>(i);
        if (it->record.op != op || !sameCall(op, it->record.args, args))
            continue;
        const trace::Record &r = it->record;
        if (written && r.dataKind == trace::DataKind::FrameWrite && r.dataKept &&
            (r.data.size() != written->size ||
             (written->size != 0 && std::memcmp(r.data.data(), written->bytes, written->size) != 0))) {
            otherBytes = true;
            continue;
        }
        const uint64_t seq = it->seq;
        trace::Record record = std::move(it->record);
        window_.erase(it);
        aheadBytes_ -= std::min<uint64_t>(aheadBytes_, record.data.size());
        uint64_t madeNs = nowNs;
        if (within)
            madeNs = within->dueNs + scaled(record.timeNs > within->recordedNs
                                                ? record.timeNs - within->recordedNs
                                                : 0);
        callMade(seq, madeNs);
        ++callsMatched_;
        return record;
    }
    diverged_ = true;
    Divergence d;
    d.calledOp = op;
    d.called = describeCall(op, args) + (otherBytes ? " writing other bytes" : "");
    if (window_.empty()) {
        d.record = recordsRead_;
        d.expected = "the end of the recording";
        if (!stopReason_.empty())
            d.expected += " (" + stopReason_ + ")";
    } else {
        d.record = window_.front().record.number;
        d.expectedOp = window_.front().record.op;
        d.expected = describeCall(d.expectedOp, window_.front().record.args);
    }
    if (divergence != nullptr)
        *divergence = std::move(d);
    window_.clear();
    for (auto &lane : lanes_)
        lane.clear();
    aheadBytes_ = 0;
    return std::nullopt;
}

const ReplayScript::Callback *ReplayScript::peek(Lane lane)
{
    readAhead();
    auto &q = lanes_[static_cast<int>(lane)];
    if (diverged_ || q.empty() || !q.front().dueNs)
        return nullptr;
    return &q.front();
}

ReplayScript::Callback ReplayScript::pop(Lane lane)
{
    auto &q = lanes_[static_cast<int>(lane)];
    Callback cb = std::move(q.front());
    q.pop_front();
    aheadBytes_ -= std::min<uint64_t>(aheadBytes_, cb.record.data.size());
    return cb;
}

bool ReplayScript::callbackPendingBefore(uint64_t recordedNs, std::optional<Lane> except) const
{
    if (diverged_)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (except && static_cast<int>(*except) == i)
            continue;
        for (const Callback &cb : lanes_[i])
            if (cb.record.timeNs < recordedNs)
                return true;
    }
    return false;
}

bool ReplayScript::finished()
{
    readAhead();
    return exhausted_ && window_.empty() && lanes_[0].empty() && lanes_[1].empty();
}

} // namespace sim
