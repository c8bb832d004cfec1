#include "ops/ScanCapture.h"

#include "ops/LineAccount.h"

#include <algorithm>

namespace ops {

ScanCapture::ScanCapture(CaptureSink &sink, std::atomic<uint32_t> *lineTotal)
    : sink_(sink), lineTotal_(lineTotal)
{
}

void ScanCapture::SetGeometry(const ImageGeometry &g)
{
    lines_ = g.lines;
    pixels_ = g.pixels;
    pixelBytes_ = g.pixelBytes;
    unit_ = g.unit;
    hash_.SetStep(FrameHash::StepFor(g.lineBytes(), g.lines, FrameHash::kHashedBytes));
}

ImageGeometry ScanCapture::Geometry() const
{
    ImageGeometry g;
    g.lines = lines_.load(std::memory_order_relaxed);
    g.pixels = pixels_.load(std::memory_order_relaxed);
    g.pixelBytes = pixelBytes_.load(std::memory_order_relaxed);
    g.unit = unit_.load(std::memory_order_relaxed);
    return g;
}

void ScanCapture::SetReissue(bool on, uint32_t share)
{
    share_ = share;
    reissue_ = on;
}

void ScanCapture::EnableContentChecks(bool findStaleFrames)
{
    checks_ = true;
    findStale_ = findStaleFrames;
}

void ScanCapture::BeginScan()
{
    frames_ = 0;
    reissueFailure_ = 0;
    nextLine_ = 0;
    lineGaps_ = 0;
    hash_.Reset();
    stale_.Reset();
    lastUnwrittenFrame_ = UINT32_MAX;
    findings_ = ContentFindings{};
    findings_.unwritten.reserve(ContentFindings::kNamedFindings); // the hook never allocates
    findings_.staleFrameNumbers.reserve(ContentFindings::kNamedFindings);
}

void ScanCapture::RegisterRequest(const uint8_t *buffer, uint32_t size)
{
    if (buffer == nullptr)
        return;
    std::lock_guard<std::mutex> lock(requestLock_);
    requests_[buffer] = Request{size, false};
}

bool ScanCapture::RetireRequests(const uint8_t *begin, const uint8_t *end)
{
    bool any = false;
    std::lock_guard<std::mutex> lock(requestLock_);
    for (auto it = requests_.lower_bound(begin); it != requests_.end() && it->first < end; ++it) {
        it->second.retired = true;
        any = true;
    }
    return any;
}

void ScanCapture::ClearRequests()
{
    std::lock_guard<std::mutex> lock(requestLock_);
    requests_.clear();
}

bool ScanCapture::HasRequests() const
{
    std::lock_guard<std::mutex> lock(requestLock_);
    return !requests_.empty();
}

// Where a program buffer's lines lie: at the pitch (frame unit), back to back (line unit).
uint64_t ScanCapture::CanaryPitch(const ImageGeometry &g) const
{
    return g.unit == 1 ? BOARD_LINE_PITCH : g.lineBytes();
}

void ScanCapture::PrimeRequest(uint8_t *buffer) const
{
    if (!checks_ || buffer == nullptr)
        return;
    const ImageGeometry g = Geometry();
    FillCanary(buffer, CanaryPitch(g), g.lineBytes(), g.lines);
}

void ScanCapture::NoteRequestFailure(int32_t status)
{
    int32_t none = 0;
    if (status != 0)
        reissueFailure_.compare_exchange_strong(none, status);
}

uint64_t ScanCapture::ExtentOf(const uint8_t *data) const
{
    std::lock_guard<std::mutex> lock(requestLock_);
    auto it = requests_.upper_bound(data);
    if (it == requests_.begin())
        return 0;
    --it;
    if (it->second.retired)
        return 0;
    const uint64_t offset = uint64_t(data - it->first);
    return offset < it->second.size ? it->second.size - offset : 0;
}

std::vector<Result> ScanCapture::Account(const HookDelivery &hook)
{
    const ImageGeometry g = Geometry();
    const bool image = hook.image();
    const uint32_t written = image ? hook.lineCount : 0;
    stats_->Record(hook.flags, written, uint64_t(written) * g.lineBytes(), hook.at);
    if (image && g.unit == 0) {
        if (hook.startLine != nextLine_)
            ++lineGaps_; // a run lost or out of order
        nextLine_ = (hook.flags & HOOK_FLAG_FRAME) != 0 ? 0 : hook.startLine + hook.lineCount;
    }
    if (lineTotal_ == nullptr)
        return {};
    LineAccount account(*lineTotal_);
    return account.Deliver(hook.flags, hook.startLine, hook.lineCount, g.lines, g.unit == SCAN_UNIT_LINE);
}

bool ScanCapture::Take(const HookDelivery &hook)
{
    // A program buffer asked for again may be written by the board while the copy still reads
    // it (one request in flight, line runs back to back): its lines are copied first. The
    // library's own buffer is the library's again only once this hook call has returned, so
    // its early re-issue keeps the board fed without that hazard.
    const bool reissueLast = checks_ || order_ == ReissueOrder::AfterCopy || !hook.library();
    if (!reissueLast)
        Reissue(hook.bufferKind, hook.data);
    const uint32_t frame = frames_.load(std::memory_order_relaxed);
    const bool image = hook.image();
    if (checks_ && image)
        CheckContent(Geometry(), hook, frame);
    const Delivery lines{hook.startLine, hook.lineCount, hook.library(), hook.data,
                         hook.library() ? 0 : ExtentOf(hook.data)};
    const bool changed = sink_.TakeLines(hook, lines, frame);
    if (image && (hook.flags & HOOK_FLAG_FRAME) != 0)
        frames_.store(frame + 1, std::memory_order_relaxed);
    if (reissueLast)
        Reissue(hook.bufferKind, hook.data);
    return changed;
}

// A new request into the delivered buffer: the library's own buffer, or a program buffer that
// is still in use. One the owner did not request (another tool's, one left by an earlier scan)
// or has retired gets none: the library would write a whole share into it.
void ScanCapture::Reissue(uint32_t bufferKind, const uint8_t *data)
{
    if (!reissue_.load())
        return;
    const uint32_t share = share_.load();
    int32_t status = 0;
    if (bufferKind == HOOK_BUFFER_LIBRARY) {
        status = share == kWholeRequest ? ImageRequest(board_, nullptr, 0)
                                        : ImageRequest(board_, const_cast<uint8_t *>(data), share);
    } else {
        std::lock_guard<std::mutex> lock(requestLock_);
        auto it = requests_.find(data);
        if (it == requests_.end() || it->second.retired)
            return;
        uint8_t *buffer = const_cast<uint8_t *>(it->first);
        PrimeRequest(buffer);
        status = ImageRequest(board_, buffer, std::min(share, it->second.size));
    }
    NoteRequestFailure(status);
}

// The claimed lines that still hold the canary, and the frame hash. Reads stay inside what the
// delivery holds, as the copy's do.
void ScanCapture::CheckContent(const ImageGeometry &g, const HookDelivery &hook, uint32_t frame)
{
    const uint32_t startLine = hook.startLine, lineCount = hook.lineCount;
    const bool library = hook.library();
    const uint8_t *data = hook.data;
    const uint64_t lineBytes = g.lineBytes();
    const bool pitched = g.unit == 1 || library;
    if (data != nullptr && lineBytes != 0 && (!pitched || lineBytes <= BOARD_LINE_PITCH)) {
        // Frame unit: the whole frame from line 0; line unit: the run.
        const uint32_t first = g.unit == 1 ? 0 : std::min(startLine, g.lines);
        const uint32_t end =
            g.unit == 1 ? g.lines : uint32_t(std::min<uint64_t>(uint64_t(startLine) + lineCount, g.lines));
        // Lines the delivery wholly holds (the library's buffer: the lines it names, at the pitch).
        const uint64_t pitch = pitched ? BOARD_LINE_PITCH : lineBytes;
        const uint64_t extent =
            library ? (uint64_t(startLine) + lineCount) * BOARD_LINE_PITCH : ExtentOf(data);
        const uint64_t before = pitched ? first * pitch : 0; // bytes ahead of the first line
        const uint64_t held =
            extent < before + lineBytes ? 0 : std::min<uint64_t>(end - first, (extent - before - lineBytes) / pitch + 1);
        hash_.AddLines(data + before, pitch, lineBytes, first, uint32_t(held));
        if (!library) {
            // The claimed lines: for a frame unit those lineCount says, from startLine.
            const uint32_t claimedFirst = g.unit == 1 ? std::min(startLine, uint32_t(held)) : 0;
            const uint64_t claimedEnd =
                g.unit == 1 ? std::min<uint64_t>(uint64_t(startLine) + lineCount, held) : held;
            const uint32_t lineOfFirst = g.unit == 1 ? claimedFirst : first;
            for (const LineRange &r : CanaryLines(data, pitch, lineBytes, claimedFirst,
                                                  uint32_t(claimedEnd - claimedFirst), lineOfFirst)) {
                if (lastUnwrittenFrame_ != frame) {
                    lastUnwrittenFrame_ = frame;
                    ++findings_.unwrittenFrames;
                }
                findings_.unwrittenLines += r.end - r.first;
                if (findings_.unwritten.size() < ContentFindings::kNamedFindings)
                    findings_.unwritten.push_back({frame, r});
            }
        }
    }
    if ((hook.flags & HOOK_FLAG_FRAME) == 0)
        return;
    if (stale_.FrameEnded(hash_.Value()) && findStale_) {
        ++findings_.staleFrames;
        if (findings_.staleFrameNumbers.size() < ContentFindings::kNamedFindings)
            findings_.staleFrameNumbers.push_back(frame);
    }
    hash_.Reset();
}

} // namespace ops
