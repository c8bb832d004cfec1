// What a delivered picture holds: lines a delivery claims but did not write (a canary left in a
// program buffer), frames that repeat their predecessor (a frame hash), and a comparison with a
// reference picture of a known target. Plain functions over bytes; the hook thread calls the
// canary and hash functions, so they never allocate while all is well.
#pragma once

#include "ops/DeliveredLines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ops {

// Writes the canary into the last 8 bytes of `lines` lines, one every `pitch` bytes from
// `buffer` (a line missing or cut short leaves it). One word a line keeps the cost to one cache
// line each for the fill and the check. Each line position has its own canary word, so a line
// copied from another position does not pass for unwritten. Lines under 8 bytes get none.
void FillCanary(uint8_t *buffer, uint64_t pitch, uint64_t lineBytes, uint32_t lines);

// Lines among `count` positions from `firstPosition` (one every `pitch` bytes from `buffer`) whose
// last bytes still hold the canary, as runs of line numbers: position firstPosition + k is line
// firstLine + k. Empty (no allocation) when every line was written.
std::vector<LineRange> CanaryLines(const uint8_t *buffer, uint64_t pitch, uint64_t lineBytes,
                                   uint32_t firstPosition, uint32_t count, uint32_t firstLine);

// A 64-bit hash over every byte of every `step`th line of a frame (lines 0, step, 2 x step ...),
// built from runs in any order (each line's hash is mixed with its number and summed). Hashing a
// sample of whole lines keeps the cost per frame bounded: a repeated frame is equal everywhere,
// a new one from a sensor differs everywhere (noise), a synthetic one in its moving parts.
class FrameHash {
public:
    // Bytes of each frame the stale check hashes: whole lines, a few percent of a large frame,
    // all of a small one.
    static constexpr uint64_t kHashedBytes = 64 * 1024;
    // The step that hashes about `bytes` bytes of a frame (at least one line in `lines`).
    static uint32_t StepFor(uint64_t lineBytes, uint32_t lines, uint64_t bytes);
    void SetStep(uint32_t step) { step_ = step == 0 ? 1 : step; }
    void Reset() { sum_ = 0; }
    // `count` lines numbered from firstLine, one every `pitch` bytes from `first`.
    void AddLines(const uint8_t *first, uint64_t pitch, uint64_t lineBytes, uint32_t firstLine,
                  uint32_t count);
    uint64_t Value() const { return sum_; }

private:
    uint64_t sum_ = 0;
    uint32_t step_ = 1;
};

// Frames that repeat their predecessor: each frame's hash at its end against the one before.
class StaleRule {
public:
    void Reset() { have_ = false; }
    // The ended frame's hash; true when it equals the previous frame's.
    bool FrameEnded(uint64_t hash)
    {
        const bool same = have_ && hash == previous_;
        previous_ = hash;
        have_ = true;
        return same;
    }

private:
    uint64_t previous_ = 0;
    bool have_ = false;
};

// Pixels of `pixelBytes` bytes, little-endian, lines back to back.
struct PictureView {
    const uint8_t *data = nullptr;
    uint32_t pixels = 0, lines = 0, pixelBytes = 1;
    uint32_t At(uint32_t x, uint32_t y) const;
};

// A picture that owns its bytes (a reference read from a file).
struct Picture {
    uint32_t pixels = 0, lines = 0, pixelBytes = 1;
    std::vector<uint8_t> data;
    PictureView View() const { return {data.data(), pixels, lines, pixelBytes}; }
};

struct PictureDifference {
    bool sameGeometry = false;  // same size and pixel size; nothing else is compared otherwise
    uint64_t differing = 0;     // pixels that differ by more than the tolerance
    double share = 0;           // differing / all pixels
    bool matches = false;       // same geometry and share within the allowed share
    // Bounding box of the differing pixels, ends exclusive; all 0 when none differs.
    uint32_t boxX0 = 0, boxY0 = 0, boxX1 = 0, boxY1 = 0;
    // The pixel that differs most (the first such in line order).
    uint32_t worstX = 0, worstY = 0, worstExpected = 0, worstActual = 0, worstDiff = 0;
    // 8-bit grey, pixels x lines: 0 within the tolerance, else 64 + 191 x difference / full scale.
    std::vector<uint8_t> difference;
};

// `frame` against `reference`: a pixel differs when |frame - reference| > tolerance (in pixel
// values); the pictures match when at most `allowedShare` (0..1) of the pixels differ.
PictureDifference ComparePictures(const PictureView &frame, const PictureView &reference,
                                  uint32_t tolerance, double allowedShare);

// An 8- or 16-bit grey PNG (not interlaced) as a picture of 1 or 2 bytes per pixel; false with
// `error` set (in Japanese) when the file cannot be read or is not such a picture.
bool ReadGreyPng(const std::string &path, Picture &picture, std::string &error);

} // namespace ops
