#include "scan/ScanImage.h"

#include "ops/DeliveredLines.h"

#include <chrono>

#include <algorithm>
#include <cstring>

bool ScanImage::Allocate(std::size_t size)
{
    std::lock_guard<std::mutex> lock(lock_);
    image_ = fw::ZeroBlock(size);
    imageBytes_ = 0;
    geometry_ = ScanGeometry{};
    delivered_.clear();
    picture_.Clear();
    pictureValid_ = false;
    undrawn_ = {};
    ++serial_;
    return bool(image_);
}

void ScanImage::Release()
{
    std::lock_guard<std::mutex> lock(lock_);
    image_.reset();
    imageBytes_ = 0;
    ++serial_;
}

bool ScanImage::Present() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return bool(image_);
}

void ScanImage::Empty()
{
    std::lock_guard<std::mutex> lock(lock_);
    if (image_)
        std::memset(image_.data(), 0, image_.size());
    ForgetDelivered();
    ++scan_;
    frameNumber_ = 0;
    frameEnded_ = frameStale_ = false;
    hash_.Reset();
    stale_.Reset();
    picture_.Clear();
    undrawn_ = {};
    pictureValid_ = true; // the blank buffer draws a black picture
    ++serial_;
}

void ScanImage::SetGeometry(const ScanGeometry &g)
{
    std::lock_guard<std::mutex> lock(lock_);
    DrawUndrawnLocked(); // in the geometry they were taken in
    geometry_ = g;
    delivered_.assign(g.lines, 0); // the hook only ever writes into it
    hash_.SetStep(ops::FrameHash::StepFor(g.lineBytes(), g.lines, ops::FrameHash::kHashedBytes));
    ++serial_;
}

void ScanImage::BeginFrame()
{
    // The rest of the buffer was cleared by the Start and is never written.
    std::lock_guard<std::mutex> lock(lock_);
    const std::uint64_t used =
        std::min<std::uint64_t>(geometry_.stride() * geometry_.lines, image_.size());
    if (image_)
        std::memset(image_.data(), 0, used);
    ForgetDelivered();
    frameEnded_ = frameStale_ = false;
    hash_.Reset();
    picture_.Clear();
    undrawn_ = {};
    ++serial_;
}

bool ScanImage::TakeLines(const ops::HookDelivery &hook, const ops::Delivery &lines, std::uint32_t frame)
{
    std::lock_guard<std::mutex> lock(lock_);
    const std::uint64_t stride = geometry_.stride();
    imageBytes_ = std::uint32_t(std::min<std::uint64_t>(stride * geometry_.lines, image_.size()));
    if (geometry_.unit == 1) {
        ForgetDelivered();
        frameEnded_ = frameStale_ = false;
        hash_.Reset();
    }
    StartFrame(frame);
    const ops::LineRange copied =
        ops::CopyDeliveredLines(geometry_, std::span<std::uint8_t>(image_.data(), image_.size()), lines);
    const bool ends = hook.image() && (hook.flags & HOOK_FLAG_FRAME) != 0;
    if (copied.empty()) {
        if (ends)
            EndFrame();
        ++serial_; // a frame-unit delivery that held no line leaves its whole frame undelivered
        return false;
    }
    // No more than the copy touches: a byte per line it wrote, and the hash's sample of them.
    const std::uint32_t end = std::min<std::uint32_t>(copied.end, std::uint32_t(delivered_.size()));
    if (copied.first < end)
        std::memset(delivered_.data() + copied.first, 1, end - copied.first);
    hash_.AddLines(image_.data() + copied.first * stride, stride, geometry_.lineBytes(), copied.first,
                   copied.end - copied.first);
    if (ends)
        EndFrame();
    // Drawn when the picture is asked for, off the callback thread; lines taken again meanwhile
    // are drawn once, as they are then.
    undrawn_ = undrawn_.empty() ? copied
                                : ops::LineRange{std::min(undrawn_.first, copied.first),
                                                 std::max(undrawn_.end, copied.end)};
    pictureValid_ = true;
    ++serial_;
    return true;
}

// A delivery of another frame than the last (a run lost at its start skips BeginFrame).
void ScanImage::StartFrame(std::uint32_t number)
{
    if (number == frameNumber_)
        return;
    frameNumber_ = number;
    frameEnded_ = frameStale_ = false;
}

void ScanImage::EndFrame()
{
    frameStale_ = stale_.FrameEnded(hash_.Value());
    frameEnded_ = true;
    endedAtMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    hash_.Reset();
}

void ScanImage::ForgetDelivered()
{
    std::fill(delivered_.begin(), delivered_.end(), std::uint8_t(0));
}

void ScanImage::DrawUndrawnLocked() const
{
    if (undrawn_.empty())
        return;
    picture_.DrawLines(image_.data(), image_.size(), geometry_, undrawn_.first, undrawn_.end);
    undrawn_ = {};
}

QImage ScanImage::Picture() const
{
    std::lock_guard<std::mutex> lock(lock_);
    if (!pictureValid_)
        return QImage();
    DrawUndrawnLocked();
    return picture_.ToImage();
}

ScanDataCopy ScanImage::Copy(std::uint32_t begin, std::uint32_t end) const
{
    ScanDataCopy copy;
    std::lock_guard<std::mutex> lock(lock_);
    if (!image_ || imageBytes_ == 0)
        return copy;
    copy.size = imageBytes_;
    if (begin < end && end <= copy.size)
        copy.bytes.assign(image_.data() + begin, image_.data() + end);
    return copy;
}

ScanDataCopy ScanImage::CopyAll() const
{
    ScanDataCopy copy;
    std::lock_guard<std::mutex> lock(lock_);
    if (!image_ || imageBytes_ == 0)
        return copy;
    copy.size = imageBytes_;
    copy.bytes.assign(image_.data(), image_.data() + copy.size);
    return copy;
}

void ScanImage::Read(const std::function<void(const std::uint8_t *, std::uint32_t)> &fn) const
{
    std::lock_guard<std::mutex> lock(lock_);
    if (!image_ || imageBytes_ == 0)
        fn(nullptr, 0);
    else
        fn(image_.data(), imageBytes_);
}

ScanFrame ScanImage::CopyFrame() const
{
    ScanFrame frame;
    CopyFrameInto(frame);
    return frame;
}

void ScanImage::CopyFrameInto(ScanFrame &frame) const
{
    std::lock_guard<std::mutex> lock(lock_);
    frame.serial = serial_.load();
    frame.geometry = geometry_;
    frame.delivered = delivered_;
    frame.scan = scan_;
    frame.frameNumber = frameNumber_;
    frame.ended = frameEnded_;
    frame.stale = frameStale_;
    frame.endedAtMs = endedAtMs_;
    if (image_ && imageBytes_ != 0)
        frame.bytes.assign(image_.data(), image_.data() + imageBytes_); // keeps the capacity
    else
        frame.bytes.clear();
}
