#include "ops/FrameContent.h"

#include <algorithm>
#include <cstring>

namespace ops {
namespace {

constexpr uint64_t kCanary = 0xC0DEFA11DEADBEEFull;
constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kLane = 0x87C37B91114253D5ull;
// Narrower lines hold too few bytes for a canary that a picture could not hold by chance.
constexpr uint64_t kCanaryBytes = 8;

uint64_t Rotl(uint64_t x, int r)
{
    return (x << r) | (x >> (64 - r));
}

uint64_t Mix(uint64_t x)
{
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return x;
}

uint64_t Load(const uint8_t *p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The canary word of a line position.
uint64_t CanaryWord(uint64_t position)
{
    return kCanary ^ (position * kGolden);
}

// Four independent lanes, so that the multiplies overlap.
uint64_t HashBytes(const uint8_t *p, uint64_t n)
{
    uint64_t a = 1, b = 2, c = 3, d = 4;
    uint64_t i = 0;
    for (; i + 32 <= n; i += 32) {
        a = Rotl(a ^ Load(p + i), 31) * kLane;
        b = Rotl(b ^ Load(p + i + 8), 31) * kLane;
        c = Rotl(c ^ Load(p + i + 16), 31) * kLane;
        d = Rotl(d ^ Load(p + i + 24), 31) * kLane;
    }
    for (; i + 8 <= n; i += 8)
        a = Rotl(a ^ Load(p + i), 31) * kLane;
    if (i < n) {
        uint64_t tail = 0;
        std::memcpy(&tail, p + i, n - i);
        b = Rotl(b ^ tail, 31) * kLane;
    }
    return Mix(a + Rotl(b, 17) + Rotl(c, 31) + Rotl(d, 47) + n);
}

} // namespace

void FillCanary(uint8_t *buffer, uint64_t pitch, uint64_t lineBytes, uint32_t lines)
{
    if (buffer == nullptr || lineBytes < kCanaryBytes)
        return;
    for (uint32_t k = 0; k < lines; ++k) {
        const uint64_t word = CanaryWord(k);
        std::memcpy(buffer + k * pitch + lineBytes - 8, &word, 8);
    }
}

std::vector<LineRange> CanaryLines(const uint8_t *buffer, uint64_t pitch, uint64_t lineBytes,
                                   uint32_t firstPosition, uint32_t count, uint32_t firstLine)
{
    std::vector<LineRange> runs;
    if (buffer == nullptr || lineBytes < kCanaryBytes)
        return runs;
    for (uint32_t k = 0; k < count; ++k) {
        const uint64_t position = uint64_t(firstPosition) + k;
        if (Load(buffer + position * pitch + lineBytes - 8) != CanaryWord(position))
            continue;
        const uint32_t n = firstLine + k;
        if (!runs.empty() && runs.back().end == n)
            runs.back().end = n + 1;
        else
            runs.push_back({n, n + 1});
    }
    return runs;
}

uint32_t FrameHash::StepFor(uint64_t lineBytes, uint32_t lines, uint64_t bytes)
{
    const uint64_t frame = lineBytes * lines;
    return uint32_t(std::clamp<uint64_t>(bytes == 0 ? lines : frame / bytes, 1, std::max(lines, 1u)));
}

void FrameHash::AddLines(const uint8_t *first, uint64_t pitch, uint64_t lineBytes,
                         uint32_t firstLine, uint32_t count)
{
    // The first line of the run that is a multiple of the step.
    uint32_t k = (step_ - firstLine % step_) % step_;
    for (; k < count; k += step_) {
        const uint64_t n = uint64_t(firstLine) + k;
        sum_ += Mix(HashBytes(first + k * pitch, lineBytes) ^ (n * kGolden));
    }
}

uint32_t PictureView::At(uint32_t x, uint32_t y) const
{
    uint32_t v = 0;
    std::memcpy(&v, data + (uint64_t(y) * pixels + x) * pixelBytes, std::min<uint32_t>(pixelBytes, 4));
    return v;
}

PictureDifference ComparePictures(const PictureView &frame, const PictureView &reference,
                                  uint32_t tolerance, double allowedShare)
{
    PictureDifference r;
    r.sameGeometry = frame.pixels == reference.pixels && frame.lines == reference.lines &&
                     frame.pixelBytes == reference.pixelBytes && frame.pixelBytes >= 1 &&
                     frame.pixelBytes <= 4 && frame.data != nullptr && reference.data != nullptr;
    if (!r.sameGeometry)
        return r;
    const uint64_t fullScale = (uint64_t(1) << (8 * frame.pixelBytes)) - 1;
    r.difference.assign(uint64_t(frame.pixels) * frame.lines, 0);
    uint32_t x0 = UINT32_MAX, y0 = UINT32_MAX, x1 = 0, y1 = 0;
    for (uint32_t y = 0; y < frame.lines; ++y) {
        for (uint32_t x = 0; x < frame.pixels; ++x) {
            const uint32_t actual = frame.At(x, y), expected = reference.At(x, y);
            const uint32_t diff = actual > expected ? actual - expected : expected - actual;
            if (diff <= tolerance)
                continue;
            ++r.differing;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x + 1);
            y1 = y + 1;
            r.difference[uint64_t(y) * frame.pixels + x] = uint8_t(64 + 191 * uint64_t(diff) / fullScale);
            if (diff > r.worstDiff) {
                r.worstDiff = diff;
                r.worstX = x;
                r.worstY = y;
                r.worstExpected = expected;
                r.worstActual = actual;
            }
        }
    }
    const uint64_t all = uint64_t(frame.pixels) * frame.lines;
    r.share = all == 0 ? 0.0 : double(r.differing) / double(all);
    r.matches = r.share <= allowedShare;
    if (r.differing != 0) {
        r.boxX0 = x0;
        r.boxY0 = y0;
        r.boxX1 = x1;
        r.boxY1 = y1;
    }
    return r;
}

} // namespace ops
