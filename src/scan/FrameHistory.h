// The picture inspector's frame history: the last frames it received, oldest first, bounded in
// count and in bytes (large frames: fewer of them). A frame copied again (a line-unit frame seen
// part way, then whole) replaces its earlier copy. UI thread only.
#pragma once

#include "scan/InspectorFeed.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

class FrameHistory {
public:
    static constexpr std::size_t kFrames = 16;
    static constexpr std::uint64_t kMaxBytes = std::uint64_t(256) << 20;

    explicit FrameHistory(std::size_t frames = kFrames, std::uint64_t maxBytes = kMaxBytes)
        : frames_(frames), maxBytes_(maxBytes)
    {
    }
    // Keeps a snapshot with image bytes; drops the oldest beyond the bounds (the newest stays,
    // however large). Answers the index it now has.
    std::size_t Add(std::shared_ptr<const InspectorSnapshot> snapshot);
    void Clear() { entries_.clear(), bytes_ = 0; }

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    const std::shared_ptr<const InspectorSnapshot> &At(std::size_t i) const { return entries_[i]; }
    // Where a snapshot is kept, or Size() when it is not (any more).
    std::size_t IndexOf(const InspectorSnapshot *snapshot) const;
    std::uint64_t Bytes() const { return bytes_; }
    std::size_t MaxFrames() const { return frames_; }
    std::uint64_t MaxBytes() const { return maxBytes_; }

private:
    void DropOldest();

    const std::size_t frames_;
    const std::uint64_t maxBytes_;
    std::deque<std::shared_ptr<const InspectorSnapshot>> entries_;
    std::uint64_t bytes_ = 0; // image bytes of the entries
};
