#include "scan/ScanImage.h"

#include "board/pel2ctl.h"

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
    return bool(image_);
}

void ScanImage::Release()
{
    std::lock_guard<std::mutex> lock(lock_);
    image_.reset();
    imageBytes_ = 0;
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
    pictureValid_ = true; // the blank buffer draws a black picture
}

void ScanImage::SetGeometry(const ScanGeometry &g)
{
    std::lock_guard<std::mutex> lock(lock_);
    geometry_ = g;
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
}

bool ScanImage::CopyDelivery(std::uint32_t startLine, std::uint32_t lineCount, bool library,
                             const std::uint8_t *data, std::uint64_t extent)
{
    std::lock_guard<std::mutex> lock(lock_);
    const ScanGeometry g = geometry_;
    const std::uint64_t lineBytes = g.lineBytes();
    const std::uint64_t stride = g.stride();
    const std::uint64_t imageSize = image_.size();
    imageBytes_ = std::uint32_t(std::min<std::uint64_t>(stride * g.lines, imageSize));
    if (lineBytes == 0 || data == nullptr || !image_)
        return false;

    // Source layout: an 8192-byte pitch counted from frame line 0 (every frame-unit delivery and
    // the library's buffer), or lines back to back from data (line unit into a program buffer).
    const bool pitched = g.unit == SCAN_UNIT_FRAME || library;
    std::uint64_t firstLine = 0;
    std::uint64_t endLine = 0;
    if (g.unit == SCAN_UNIT_FRAME) {
        endLine = g.lines; // the whole frame, whatever lineCount says
    } else {
        firstLine = startLine;
        endLine = std::uint64_t(startLine) + lineCount;
    }
    if (library) // the library's buffer holds the lines it says it delivered, at their pitch
        extent = (std::uint64_t(startLine) + lineCount) * BOARD_LINE_PITCH;
    if (pitched && lineBytes > BOARD_LINE_PITCH)
        return false; // such lines cannot lie at the pitch

    const std::uint64_t lastFitting = std::min<std::uint64_t>(g.lines, imageSize / stride);
    std::uint64_t copiedEnd = firstLine;
    for (std::uint64_t n = firstLine; n < endLine && n < lastFitting; ++n) {
        const std::uint64_t source = pitched ? n * BOARD_LINE_PITCH : (n - firstLine) * lineBytes;
        if (source + lineBytes > extent)
            break;
        std::memcpy(image_.data() + n * stride, data + source, lineBytes);
        copiedEnd = n + 1;
    }
    if (firstLine >= copiedEnd)
        return false;
    DrawScanImage(std::uint32_t(firstLine), std::uint32_t(copiedEnd));
    return true;
}

void ScanImage::DrawScanImage(std::uint32_t firstLine, std::uint32_t endLine)
{
    picture_.DrawLines(image_.data(), image_.size(), geometry_, firstLine, endLine);
    pictureValid_ = true;
}

QImage ScanImage::Picture() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return pictureValid_ ? picture_.ToImage() : QImage();
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
