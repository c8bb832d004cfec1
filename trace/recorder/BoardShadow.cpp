// What the recorder knows of the board, from the calls it forwarded: enough to tell which bytes a
// hook call's delivery wrote.
#include "Recorder.h"

#include <algorithm>

namespace rec {
namespace {

constexpr uint32_t kLiveMode = 3; // image get mode of live video
constexpr size_t kLiveLineBytes = 640 * 3;
constexpr size_t kLibraryBufferBytes = size_t(4096) * BOARD_LINE_PITCH;
constexpr size_t kMaxGuessBytes = size_t(64) << 20; // a request of unknown layout

} // namespace

void Recorder::noteRegisterWrite(uint32_t offset, uint32_t width, uint32_t value)
{
    std::lock_guard lock(shadowMutex_);
    auto merge = [&](uint32_t reg, uint32_t &word) {
        for (uint32_t i = 0; i < width; ++i) {
            const uint32_t at = offset + i;
            if (at >= reg && at < reg + 4) {
                const uint32_t shift = 8 * (at - reg);
                word = (word & ~(0xFFu << shift)) | (((value >> (8 * i)) & 0xFFu) << shift);
            }
        }
    };
    merge(REG_MAC_H_UDTCSR, shadow_.geometry);
    merge(REG_DIO_IMG_GETMODE, shadow_.getMode);
}

void Recorder::notePrepare(uint32_t unitFlags, uint32_t bytesPerPixel)
{
    std::lock_guard lock(shadowMutex_);
    shadow_.frameUnit = (unitFlags & SCAN_UNIT_FRAME) != 0;
    shadow_.bytesPerPixel = bytesPerPixel;
}

uint64_t Recorder::pushRequest(void *buffer, uint32_t size)
{
    std::lock_guard lock(shadowMutex_);
    const uint64_t id = nextRequestId_++;
    requests_.push_back({id, reinterpret_cast<uintptr_t>(buffer), size});
    return id;
}

void Recorder::dropRequest(uint64_t id)
{
    std::lock_guard lock(shadowMutex_);
    for (auto it = requests_.begin(); it != requests_.end(); ++it)
        if (it->id == id) {
            requests_.erase(it);
            return;
        }
}

void Recorder::clearRequests()
{
    std::lock_guard lock(shadowMutex_);
    requests_.clear();
}

size_t Recorder::frameBytes()
{
    std::lock_guard lock(shadowMutex_);
    if (shadow_.getMode == kLiveMode)
        return size_t(kLiveLineBytes) * 480;
    const size_t lineBytes = size_t(shadow_.geometry & 0xFFFF) * shadow_.bytesPerPixel;
    if (lineBytes == 0 || lineBytes > BOARD_LINE_PITCH)
        return 0;
    return lineBytes * std::min<size_t>(shadow_.geometry >> 16, kLibraryBufferBytes / BOARD_LINE_PITCH);
}

// Callback thread. The library's delivery rules: a frame-unit delivery and every delivery into
// the library's buffer put line n at n x 8192 bytes from the named address; line units into a
// program buffer put the run's lines back to back; live video is 640 x 480 x 3 bytes packed.
// Each delivery that writes or reports takes the oldest request.
bool Recorder::hookExtent(uint32_t flags, uint32_t startLine, uint32_t lineCount,
                          uint32_t bufferKind, const void *data, Extent *out)
{
    std::lock_guard lock(shadowMutex_);
    Request request{0, 0, 0};
    if ((flags & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES | HOOK_FLAG_AREA_SIZE)) != 0 &&
        !requests_.empty()) {
        request = requests_.front();
        requests_.pop_front();
    }
    if (data == nullptr || (flags & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES)) == 0 || lineCount == 0)
        return false;
    const uintptr_t at = reinterpret_cast<uintptr_t>(data);
    const bool library = bufferKind == HOOK_BUFFER_LIBRARY;
    const bool matched =
        request.buffer != 0 && at >= request.buffer && at < request.buffer + request.size;
    Extent e;
    const size_t lineBytes = size_t(shadow_.geometry & 0xFFFF) * shadow_.bytesPerPixel;
    if (shadow_.getMode == kLiveMode) {
        e.lineBytes = e.pitch = kLiveLineBytes;
        e.lines = lineCount;
    } else if (lineBytes == 0 || lineBytes > BOARD_LINE_PITCH) {
        // Layout unknown: whatever the request holds; nothing when the request is not known.
        if (!library && !matched)
            return false;
        e.lineBytes = e.pitch = library ? kLibraryBufferBytes : request.buffer + request.size - at;
        e.lines = 1;
    } else if (library || shadow_.frameUnit) {
        e.offset = size_t(startLine) * BOARD_LINE_PITCH;
        e.lineBytes = lineBytes;
        e.pitch = BOARD_LINE_PITCH;
        e.lines = lineCount;
    } else {
        e.lineBytes = e.pitch = lineBytes;
        e.lines = lineCount;
    }
    // Never past the buffer: the request's, or the library's own; a delivery into a request the
    // recorder did not see is read as far as the library says it wrote.
    const size_t room = library ? kLibraryBufferBytes
                                : matched ? size_t(request.buffer + request.size - at)
                                          : std::min(e.offset + e.span(), kMaxGuessBytes);
    if (e.offset >= room || e.lineBytes > room - e.offset)
        return false;
    e.lines = std::min(e.lines, (room - e.offset - e.lineBytes) / e.pitch + 1);
    *out = e;
    return true;
}

} // namespace rec
