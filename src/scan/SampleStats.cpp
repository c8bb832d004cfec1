#include "scan/SampleStats.h"

#include <algorithm>
#include <cmath>

PixelRect WholeImage(const ScanFrame &frame)
{
    return PixelRect{0, 0, frame.Lines(), frame.Pixels()};
}

namespace {

// Counts 8 or 16-bit samples into 32-bit tables, folded into the 64-bit bins before any could
// overflow. 8 bits: four tables in turn, since neighbouring samples are often equal and one
// table would make each count wait for the one before. 16 bits: one table, which stays in the
// cache (four were slower).
class FineCounter {
public:
    explicit FineCounter(std::vector<std::uint64_t> &bins)
        : bins_(bins), size_(bins.size()), tables_(size_ <= 256 ? 4 : 1), part_(tables_ * size_, 0)
    {
    }
    ~FineCounter() { Fold(); }

    template <typename Read>
    void Count(const std::uint8_t *p, std::uint32_t n, std::uint32_t step, Read read)
    {
        if (std::uint64_t(counted_) + n > 0xFFFFFFFFu)
            Fold();
        counted_ += n;
        std::uint32_t *a = part_.data();
        std::uint32_t x = 0;
        if (tables_ == 4) {
            std::uint32_t *b = a + size_, *c = b + size_, *d = c + size_;
            for (; x + 4 <= n; x += 4, p += 4 * step) {
                ++a[read(p)];
                ++b[read(p + step)];
                ++c[read(p + 2 * step)];
                ++d[read(p + 3 * step)];
            }
        }
        for (; x < n; ++x, p += step)
            ++a[read(p)];
    }

private:
    void Fold()
    {
        for (std::size_t t = 0; t < tables_; ++t)
            for (std::size_t v = 0; v < size_; ++v)
                bins_[v] += part_[t * size_ + v];
        std::fill(part_.begin(), part_.end(), 0u);
        counted_ = 0;
    }

    std::vector<std::uint64_t> &bins_;
    const std::size_t size_, tables_;
    std::vector<std::uint32_t> part_;
    std::uint32_t counted_ = 0; // samples since the last fold
};

void FiguresFromBins(SampleStats &s)
{
    std::uint64_t sum = 0;
    unsigned __int128 squares = 0;
    bool first = true;
    for (std::size_t v = 0; v < s.fine.size(); ++v) {
        const std::uint64_t c = s.fine[v];
        if (c == 0)
            continue;
        if (first)
            s.min = std::uint32_t(v), first = false;
        s.max = std::uint32_t(v);
        s.count += c;
        sum += c * v;
        squares += static_cast<unsigned __int128>(c) * v * v;
    }
    if (s.count == 0)
        return;
    s.mean = double(sum) / double(s.count);
    const double var = double(squares) / double(s.count) - s.mean * s.mean;
    s.sigma = std::sqrt(std::max(var, 0.0));
}

} // namespace

SampleStats MeasureSamples(const ScanFrame &frame, PixelRect r)
{
    SampleStats s;
    s.pixelBytes = frame.PixelBytes();
    s.fine.assign(s.pixelBytes == 1 ? 256 : 65536, 0);
    const std::uint32_t lineEnd = std::min<std::uint64_t>(std::uint64_t(r.line) + r.lines, frame.Lines());
    const std::uint32_t pixelEnd = std::min<std::uint64_t>(std::uint64_t(r.pixel) + r.pixels, frame.Pixels());
    if (r.line >= lineEnd || r.pixel >= pixelEnd)
        return s;
    const std::uint32_t n = pixelEnd - r.pixel;
    if (s.pixelBytes != 4) {
        // Only counting in the loop; the figures follow from the bins exactly.
        {
            FineCounter counter(s.fine);
            for (std::uint32_t y = r.line; y < lineEnd; ++y) {
                if (!frame.Delivered(y)) {
                    ++s.undeliveredLines;
                    continue;
                }
                const std::uint8_t *p = frame.Line(y) + std::size_t(r.pixel) * s.pixelBytes;
                if (s.pixelBytes == 1)
                    counter.Count(p, n, 1, [](const std::uint8_t *q) { return std::uint32_t(*q); });
                else
                    counter.Count(p, n, 2, [](const std::uint8_t *q) {
                        return std::uint32_t(q[0]) | std::uint32_t(q[1]) << 8;
                    });
            }
        }
        FiguresFromBins(s);
        return s;
    }
    std::uint64_t *bins = s.fine.data();
    std::uint64_t sum = 0;
    unsigned __int128 squares = 0;
    std::uint32_t lo = ~0u, hi = 0;
    for (std::uint32_t y = r.line; y < lineEnd; ++y) {
        if (!frame.Delivered(y)) {
            ++s.undeliveredLines;
            continue;
        }
        const std::uint8_t *p = frame.Line(y) + std::size_t(r.pixel) * 4;
        for (std::uint32_t x = 0; x < n; ++x) {
            const std::uint32_t v = ReadSample(p + 4 * std::size_t(x), 4);
            ++bins[v >> 16];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v;
            squares += std::uint64_t(v) * v;
        }
        s.count += n;
    }
    if (s.count == 0)
        return s;
    s.min = lo;
    s.max = hi;
    s.mean = double(sum) / double(s.count);
    const double var = double(squares) / double(s.count) - s.mean * s.mean;
    s.sigma = std::sqrt(std::max(var, 0.0));
    return s;
}

std::vector<std::uint64_t> SampleStats::Bins256() const
{
    std::vector<std::uint64_t> bins(256, 0);
    const std::size_t per = fine.size() / 256;
    for (std::size_t i = 0; i < fine.size(); ++i)
        bins[i / per] += fine[i];
    return bins;
}

std::uint32_t SampleStats::Percentile(double fraction) const
{
    if (count == 0)
        return 0;
    const double want = std::max(1.0, std::ceil(fraction * double(count)));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < fine.size(); ++i) {
        seen += fine[i];
        if (double(seen) >= want)
            return std::clamp(std::uint32_t(i << FineShift()), min, max);
    }
    return max;
}

int GreyWindow::MaxShift(std::uint32_t maxSample)
{
    return maxSample > 0xFFFF ? 24 : maxSample > 0xFF ? 8 : 0;
}

GreyWindow GreyWindow::Shift(int s, std::uint32_t maxSample)
{
    s = std::clamp(s, 0, MaxShift(maxSample));
    const std::uint64_t top = (std::uint64_t(256) << s) - 1;
    return GreyWindow{0, std::uint32_t(std::min<std::uint64_t>(top, maxSample)), s};
}

GreyWindow GreyWindow::Auto(const SampleStats &stats, std::uint32_t maxSample)
{
    GreyWindow w{stats.Percentile(0.001), stats.Percentile(0.999)};
    if (w.hi <= w.lo) { // all samples alike: a window just around them
        if (w.lo == maxSample)
            --w.lo;
        else if (w.lo == 0)
            w.hi = 1;
        else
            --w.lo, ++w.hi;
    }
    return w;
}
