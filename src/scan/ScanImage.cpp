#include "scan/ScanImage.h"

#include "ops/DeliveredLines.h"

#include <algorithm>
#include <cstring>

bool ScanImage::Allocate(std::size_t size)
{
    std::lock_guard<std::mutex> lock(lock_);
    image_ = fw::ZeroBlock(size);
    imageBytes_ = 0;
    geometry_ = ScanGeometry{};
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
    picture_.Clear();
    undrawn_ = {};
    ++serial_;
}

bool ScanImage::TakeLines(const ops::HookDelivery &, const ops::Delivery &lines, std::uint32_t)
{
    std::lock_guard<std::mutex> lock(lock_);
    const std::uint64_t stride = geometry_.stride();
    imageBytes_ = std::uint32_t(std::min<std::uint64_t>(stride * geometry_.lines, image_.size()));
    const ops::LineRange copied =
        ops::CopyDeliveredLines(geometry_, std::span<std::uint8_t>(image_.data(), image_.size()), lines);
    if (copied.empty())
        return false;
    // Drawn when the picture is asked for, off the callback thread; lines taken again meanwhile
    // are drawn once, as they are then.
    undrawn_ = undrawn_.empty() ? copied
                                : ops::LineRange{std::min(undrawn_.first, copied.first),
                                                 std::max(undrawn_.end, copied.end)};
    pictureValid_ = true;
    ++serial_;
    return true;
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
    if (image_ && imageBytes_ != 0)
        frame.bytes.assign(image_.data(), image_.data() + imageBytes_); // keeps the capacity
    else
        frame.bytes.clear();
}
