#include "Synth.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace sim {

namespace {

constexpr uint32_t kGrid = 64;

// 5 x 7 digits, one byte per row, bit 4 the leftmost column.
constexpr uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}};

// Geometry of the frame number and the moving square of an area picture.
struct Overlay {
    uint32_t scale, textX, textY, textW, textH;
    uint32_t squareX, squareY, squareSize;
    char digits[12];
    int digitCount;
};

// The still chart has the digits 0 to 9 and the square in the middle.
Overlay overlayFor(uint32_t pixels, uint32_t lines, uint32_t frame, bool still = false)
{
    Overlay o{};
    o.scale = std::max<uint32_t>(1, std::min(pixels, lines) / 128);
    o.digitCount = 0;
    uint32_t n = frame;
    char rev[12];
    if (still) {
        std::memcpy(o.digits, "0123456789", 10);
        o.digitCount = 10;
    } else {
        do {
            rev[o.digitCount++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
        for (int i = 0; i < o.digitCount; ++i)
            o.digits[i] = rev[o.digitCount - 1 - i];
    }
    o.textX = 2 * o.scale;
    o.textY = 2 * o.scale;
    o.textW = static_cast<uint32_t>(o.digitCount) * 6 * o.scale;
    o.textH = 7 * o.scale;
    o.squareSize = std::max<uint32_t>(4, std::min(pixels, lines) / 8);
    const uint32_t spanX = pixels > o.squareSize ? pixels - o.squareSize : 1;
    const uint32_t spanY = lines > o.squareSize ? lines - o.squareSize : 1;
    // Bounce across the picture: a triangle wave per axis.
    auto bounce = [](uint64_t t, uint32_t span) {
        const uint64_t period = 2ull * span;
        const uint64_t p = t % period;
        return static_cast<uint32_t>(p < span ? p : period - p);
    };
    o.squareX = still ? spanX / 2 : bounce(uint64_t{frame} * 7, spanX);
    o.squareY = still ? spanY / 2 : bounce(uint64_t{frame} * 5, spanY);
    return o;
}

bool textPixel(const Overlay &o, uint32_t x, uint32_t y)
{
    if (x < o.textX || y < o.textY || x >= o.textX + o.textW || y >= o.textY + o.textH)
        return false;
    const uint32_t cx = (x - o.textX) / o.scale, cy = (y - o.textY) / o.scale;
    const uint32_t digit = cx / 6, col = cx % 6;
    if (col == 5)
        return false;
    return (kDigits[o.digits[digit] - '0'][cy] >> (4 - col)) & 1;
}

uint64_t maxValue(uint32_t bytesPerPixel)
{
    return (uint64_t{1} << (8 * bytesPerPixel)) - 1;
}

// Per-thread cache of one geometry: the gradient and grid without the moving parts, the whole
// frame when it is small enough, so that a frame is mostly block copies.
struct BaseFrame {
    uint32_t pixels = 0, lines = 0, bytesPerPixel = 0;
    std::vector<uint8_t> rows; // lines x line bytes, or empty when too large
    std::vector<uint8_t> row;  // scratch line for large frames
    // The frame number's box as it lies over a line: row 0 the blank margin, row 1 + n the
    // digits' glyph row n (each repeated `scale` lines). Made once per frame, when first needed.
    uint32_t boxFrame = UINT32_MAX;
    bool boxStill = false;
    std::vector<uint8_t> boxRows; // 8 rows of the box's width in bytes
    std::array<bool, 8> boxRowMade{};
};

// The moving square and the frame number over line y: the square as one run of zero bytes, the
// number's box copied from the row made for this frame.
void patchLine(uint8_t *row, uint32_t y, uint32_t pixels, uint32_t bytesPerPixel, const Overlay &o,
               BaseFrame &base)
{
    if (y >= o.squareY && y < o.squareY + o.squareSize && o.squareX < pixels) {
        const uint32_t end = std::min(pixels, o.squareX + o.squareSize);
        std::memset(row + size_t{o.squareX} * bytesPerPixel, 0, size_t{end - o.squareX} * bytesPerPixel);
    }
    const uint32_t boxX0 = o.textX - std::min(o.textX, o.scale),
                   boxX1 = std::min(pixels, o.textX + o.textW + o.scale);
    const uint32_t boxY0 = o.textY - std::min(o.textY, o.scale),
                   boxY1 = o.textY + o.textH + o.scale;
    if (y < boxY0 || y >= boxY1 || boxX0 >= boxX1)
        return;
    // Which row of the box: the margin, or a glyph row (textPixel looks at y only through it).
    const uint32_t kind = y < o.textY || y >= o.textY + o.textH ? 0 : 1 + (y - o.textY) / o.scale;
    const size_t width = size_t{boxX1 - boxX0} * bytesPerPixel;
    if (base.boxRows.size() < 8 * width)
        base.boxRows.resize(8 * width);
    uint8_t *pattern = base.boxRows.data() + kind * width;
    if (!base.boxRowMade[kind]) {
        const uint32_t sampleY = kind == 0 ? y : o.textY + (kind - 1) * o.scale;
        const uint64_t max = maxValue(bytesPerPixel);
        for (uint32_t x = boxX0; x < boxX1; ++x) {
            const uint64_t v = textPixel(o, x, sampleY) ? max : 0;
            for (uint32_t b = 0; b < bytesPerPixel; ++b)
                pattern[size_t{x - boxX0} * bytesPerPixel + b] = static_cast<uint8_t>(v >> (8 * b));
        }
        base.boxRowMade[kind] = true;
    }
    std::memcpy(row + size_t{boxX0} * bytesPerPixel, pattern, width);
}

constexpr size_t kMaxCachedFrame = size_t{64} << 20;

// The gradient and the grid of line y.
void baseLine(uint8_t *row, uint32_t y, uint32_t pixels, uint32_t lines, uint32_t bytesPerPixel)
{
    const uint64_t max = maxValue(bytesPerPixel);
    const uint64_t half = (lines > 1 ? uint64_t{y} * max / (lines - 1) : 0) / 2;
    const bool gridLine = y % kGrid == 0;
    for (uint32_t x = 0; x < pixels; ++x) {
        uint64_t v = (pixels > 1 ? uint64_t{x} * max / (pixels - 1) : 0) / 2 + half;
        if (gridLine || x % kGrid == 0)
            v = max;
        for (uint32_t b = 0; b < bytesPerPixel; ++b)
            row[size_t{x} * bytesPerPixel + b] = static_cast<uint8_t>(v >> (8 * b));
    }
}

} // namespace

uint32_t synthAreaPixel(uint32_t x, uint32_t y, uint32_t pixels, uint32_t lines,
                        uint32_t bytesPerPixel, uint32_t frame)
{
    return synthAreaPixel(x, y, pixels, lines, bytesPerPixel, frame, false);
}

uint32_t synthAreaPixel(uint32_t x, uint32_t y, uint32_t pixels, uint32_t lines,
                        uint32_t bytesPerPixel, uint32_t frame, bool still)
{
    const uint64_t max = maxValue(bytesPerPixel);
    const Overlay o = overlayFor(pixels, lines, frame, still);
    if (textPixel(o, x, y))
        return static_cast<uint32_t>(max);
    if (x >= o.textX - std::min(o.textX, o.scale) && x < o.textX + o.textW + o.scale &&
        y >= o.textY - std::min(o.textY, o.scale) && y < o.textY + o.textH + o.scale)
        return 0;
    if (x >= o.squareX && x < o.squareX + o.squareSize && y >= o.squareY &&
        y < o.squareY + o.squareSize)
        return 0;
    if (x % kGrid == 0 || y % kGrid == 0)
        return static_cast<uint32_t>(max);
    const uint64_t gx = pixels > 1 ? uint64_t{x} * max / (pixels - 1) : 0;
    const uint64_t gy = lines > 1 ? uint64_t{y} * max / (lines - 1) : 0;
    return static_cast<uint32_t>(gx / 2 + gy / 2);
}

void synthAreaLines(uint8_t *dst, size_t pitch, uint32_t pixels, uint32_t lines,
                    uint32_t bytesPerPixel, uint32_t firstLine, uint32_t count, uint32_t frame,
                    bool still)
{
    thread_local BaseFrame base;
    const size_t lineBytes = size_t{pixels} * bytesPerPixel;
    if (base.pixels != pixels || base.lines != lines || base.bytesPerPixel != bytesPerPixel) {
        base.pixels = pixels;
        base.lines = lines;
        base.bytesPerPixel = bytesPerPixel;
        base.boxFrame = UINT32_MAX; // the number's box rows belong to the old geometry
        base.rows.clear();
        base.rows.shrink_to_fit();
        base.row.resize(lineBytes);
        if (lineBytes * lines <= kMaxCachedFrame) {
            base.rows.resize(lineBytes * lines);
            for (uint32_t y = 0; y < lines; ++y)
                baseLine(base.rows.data() + y * lineBytes, y, pixels, lines, bytesPerPixel);
        }
    }
    const Overlay o = overlayFor(pixels, lines, frame, still);
    if (base.boxFrame != frame || base.boxStill != still) {
        base.boxFrame = frame;
        base.boxStill = still;
        base.boxRowMade.fill(false);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t y = firstLine + i;
        uint8_t *row = dst + size_t{i} * pitch;
        if (!base.rows.empty()) {
            std::memcpy(row, base.rows.data() + size_t{y} * lineBytes, lineBytes);
        } else {
            baseLine(base.row.data(), y, pixels, lines, bytesPerPixel);
            std::memcpy(row, base.row.data(), lineBytes);
        }
        patchLine(row, y, pixels, bytesPerPixel, o, base);
    }
}

void synthAreaRun(uint8_t *dst, size_t pitch, uint32_t pixels, uint32_t lines,
                  uint32_t bytesPerPixel, uint32_t firstLine, uint32_t count, uint32_t frame,
                  const PictureFaults &faults)
{
    const uint32_t picture = faults.stale && frame % 10 == 9 ? frame - 1 : frame;
    uint32_t written = count;
    if (faults.shortFrame && frame % 7 == 6) {
        const uint32_t limit = lines > 16 ? lines - 16 : 0;
        written = firstLine >= limit ? 0 : std::min(count, limit - firstLine);
    }
    if (written != 0)
        synthAreaLines(dst, pitch, pixels, lines, bytesPerPixel, firstLine, written, picture,
                       faults.still);
    constexpr uint32_t kDeadColumn = 100;
    if (faults.deadColumn && pixels > kDeadColumn)
        for (uint32_t i = 0; i < written; ++i)
            std::memset(dst + size_t{i} * pitch + size_t{kDeadColumn} * bytesPerPixel, 0,
                        bytesPerPixel);
}

void synthLiveFrame(uint8_t *dst, uint32_t frame)
{
    // Blue, green, red of the eight bars: white, yellow, cyan, green, magenta, red, blue, black.
    static constexpr uint8_t kBars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0},
                                            {0, 255, 0},     {255, 0, 255}, {0, 0, 255},
                                            {255, 0, 0},     {0, 0, 0}};
    constexpr uint32_t stride = kLiveWidth * 3;
    constexpr uint32_t barRows = kLiveHeight * 3 / 4;
    uint8_t bars[stride];
    const uint32_t shift = (frame * 4) % kLiveWidth;
    for (uint32_t x = 0; x < kLiveWidth; ++x) {
        const uint8_t *c = kBars[((x + shift) % kLiveWidth) / (kLiveWidth / 8)];
        std::memcpy(bars + 3 * x, c, 3);
    }
    uint8_t ramp[stride];
    for (uint32_t x = 0; x < kLiveWidth; ++x)
        std::memset(ramp + 3 * x, static_cast<int>(x * 255 / (kLiveWidth - 1)), 3);
    for (uint32_t y = 0; y < kLiveHeight; ++y)
        std::memcpy(dst + size_t{y} * stride, y < barRows ? bars : ramp, stride);
    // A white box moving across the ramp.
    const uint32_t boxX = (frame * 6) % (kLiveWidth - 40);
    for (uint32_t y = barRows + 20; y < barRows + 60; ++y)
        std::memset(dst + size_t{y} * stride + 3 * boxX, 255, 40 * 3);
    // Frame counter at the top left, white on black, three times the font size.
    char text[12];
    int n = 0;
    uint32_t v = frame;
    char rev[12];
    do {
        rev[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = 0; i < n; ++i)
        text[i] = rev[n - 1 - i];
    constexpr uint32_t scale = 3, x0 = 12, y0 = 12;
    const uint32_t w = static_cast<uint32_t>(n) * 6 * scale + 2 * scale;
    for (uint32_t y = y0 - scale; y < y0 + 8 * scale; ++y)
        std::memset(dst + size_t{y} * stride + 3 * (x0 - scale), 0, size_t{w} * 3);
    for (int d = 0; d < n; ++d)
        for (uint32_t cy = 0; cy < 7 * scale; ++cy)
            for (uint32_t cx = 0; cx < 5 * scale; ++cx)
                if ((kDigits[text[d] - '0'][cy / scale] >> (4 - cx / scale)) & 1) {
                    const uint32_t x = x0 + static_cast<uint32_t>(d) * 6 * scale + cx;
                    std::memset(dst + size_t{y0 + cy} * stride + 3 * x, 255, 3);
                }
}

} // namespace sim
