#include "scan/FrameHistory.h"

namespace {

bool SameFrame(const ScanFrame &a, const ScanFrame &b)
{
    return a.scan == b.scan && a.frameNumber == b.frameNumber;
}

} // namespace

std::size_t FrameHistory::Add(std::shared_ptr<const InspectorSnapshot> snapshot)
{
    if (!snapshot || !snapshot->frame || snapshot->frame->Empty())
        return Size();
    if (!entries_.empty() && SameFrame(*entries_.back()->frame, *snapshot->frame)) {
        bytes_ -= entries_.back()->frame->bytes.size();
        entries_.pop_back();
    }
    bytes_ += snapshot->frame->bytes.size();
    entries_.push_back(std::move(snapshot));
    while (entries_.size() > 1 && (entries_.size() > frames_ || bytes_ > maxBytes_))
        DropOldest();
    return entries_.size() - 1;
}

void FrameHistory::DropOldest()
{
    bytes_ -= entries_.front()->frame->bytes.size();
    entries_.pop_front();
}

std::size_t FrameHistory::IndexOf(const InspectorSnapshot *snapshot) const
{
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].get() == snapshot)
            return i;
    return entries_.size();
}
