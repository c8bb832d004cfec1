#include "ops/LiveCapture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>

namespace ops {
namespace {

constexpr uint32_t kGeometry640 = (kVideoHeight << 16) | 640u;
constexpr uint32_t kGeometry720 = (kVideoHeight << 16) | 720u;
constexpr double kFrameUs = 1e6 / kNtscFrameRate;

} // namespace

uint64_t MissedFrames(double intervalUs)
{
    if (intervalUs <= 1.5 * kFrameUs)
        return 0;
    return std::max<uint64_t>(1, uint64_t(std::llround(intervalUs / kFrameUs)) - 1);
}

CaptureSetup LiveCaptureSetup()
{
    CaptureSetup capture;
    capture.geometryH = kGeometry640;
    capture.geometryL = kGeometry720;
    capture.geometryDio = kGeometry720;
    capture.clearFailedText = "画像データ取得要求クリアが失敗しました。";
    capture.scanKind = SCAN_KIND_AREA;
    capture.unitFlags = SCAN_UNIT_FRAME;
    capture.pixelBytes = 3;
    capture.lineInterval = 0;
    return capture;
}

LiveCapture::LiveCapture(Client &client, bool reissueAfterSizeError)
    : client_(client), reissueAfterSizeError_(reissueAfterSizeError)
{
}

bool LiveCapture::MakeFrame()
{
    std::lock_guard<std::mutex> lock(frameLock_);
    if (!frame_) {
        void *block = ::operator new[](kVideoFrameBytes, kFrameAlignment, std::nothrow);
        if (block != nullptr)
            std::memset(block, 0, kVideoFrameBytes);
        frame_.reset(static_cast<uint8_t *>(block));
        framed_ = false;
    }
    return bool(frame_);
}

void LiveCapture::DropFrame()
{
    std::unique_ptr<uint8_t[], AlignedDelete> dropped;
    std::lock_guard<std::mutex> lock(frameLock_);
    dropped = std::move(frame_);
    framed_ = false;
}

void LiveCapture::SetRequestBuffers(uint8_t *a, uint32_t sizeA, uint8_t *b, uint32_t sizeB,
                                    uint32_t requested)
{
    std::lock_guard<std::mutex> lock(frameLock_);
    bufferA_ = a;
    sizeA_ = a ? sizeA : 0;
    bufferB_ = b;
    sizeB_ = b ? sizeB : 0;
    requested_ = requested;
}

void LiveCapture::HoldFrameFrom(Clock::time_point when)
{
    std::lock_guard<std::mutex> lock(frameLock_);
    holdFrom_ = when;
}

// Bytes that may be read from a delivery: a whole frame from the library's own buffer; from one
// of the request buffers no more than was requested; nothing from a buffer we do not know.
uint32_t LiveCapture::ExtentLocked(uint32_t bufferKind, const uint8_t *data) const
{
    if (data == nullptr)
        return 0;
    if (bufferKind == HOOK_BUFFER_LIBRARY)
        return kVideoFrameBytes;
    if (data == bufferA_)
        return std::min(requested_, sizeA_);
    if (data == bufferB_)
        return std::min(requested_, sizeB_);
    return 0;
}

void LiveCapture::CountInterval(Clock::time_point now)
{
    if (haveFrameTime_) {
        const uint64_t missed =
            MissedFrames(std::chrono::duration<double, std::micro>(now - lastFrame_).count());
        if (missed != 0) {
            gaps_.fetch_add(1);
            framesMissed_.fetch_add(missed);
        }
    }
    haveFrameTime_ = true;
    lastFrame_ = now;
}

// Board library callback thread.
void LiveCapture::Deliver(uint32_t flags, uint32_t bufferKind, const uint8_t *data,
                          Clock::time_point now)
{
    const bool frame = (flags & HOOK_FLAG_FRAME) != 0 && (flags & HOOK_FLAG_AREA_SIZE) == 0;
    stats_->Record(flags, frame ? kVideoHeight : 0, frame ? kVideoFrameBytes : 0, now);
    deliveries_.fetch_add(1, std::memory_order_relaxed);
    const bool sizeError = flags == HOOK_FLAG_AREA_SIZE;
    if (!running_.load() || (sizeError && !reissueAfterSizeError_))
        return;
    // One more request for every delivery, before the copy.
    client_.Reissue();
    if (sizeError)
        return;

    std::lock_guard<std::mutex> delivery(deliveryLock_);
    if (frame && data != nullptr)
        CountInterval(now);
    const uint8_t *copied = nullptr;
    {
        std::lock_guard<std::mutex> lock(frameLock_);
        if (!frame_ || (framed_ && now >= holdFrom_))
            return;
        // A delivery shorter than a frame replaces only what it brought.
        const uint32_t bytes = std::min(ExtentLocked(bufferKind, data), kVideoFrameBytes);
        if (bytes == 0)
            return;
        std::memcpy(frame_.get(), data, bytes);
        framed_ = true;
        copied = frame_.get();
    }
    framesCopied_.fetch_add(1);
    // The frame has no other writer while deliveryLock_ is held, and the owner releases it only
    // after every callback has left.
    client_.Show(copied);
}

bool LiveCapture::HasFrame() const
{
    std::lock_guard<std::mutex> lock(frameLock_);
    return bool(frame_);
}

std::vector<uint8_t> LiveCapture::FrameCopy() const
{
    std::lock_guard<std::mutex> lock(frameLock_);
    if (!frame_)
        return {};
    return std::vector<uint8_t>(frame_.get(), frame_.get() + kVideoFrameBytes);
}

uint8_t *LiveCapture::RequestBufferA() const
{
    std::lock_guard<std::mutex> lock(frameLock_);
    return bufferA_;
}

uint8_t *LiveCapture::RequestBufferB() const
{
    std::lock_guard<std::mutex> lock(frameLock_);
    return bufferB_;
}

uint32_t LiveCapture::RequestedSize() const
{
    std::lock_guard<std::mutex> lock(frameLock_);
    return requested_;
}

} // namespace ops
