#include "scan/SampleStats.h"

#include <algorithm>
#include <cmath>

PixelRect WholeImage(const ScanFrame &frame)
{
    return PixelRect{0, 0, frame.Lines(), frame.Pixels()};
}

SampleStats MeasureSamples(const ScanFrame &frame, PixelRect r)
{
    SampleStats s;
    s.pixelBytes = frame.PixelBytes();
    s.fine.assign(s.pixelBytes == 1 ? 256 : 65536, 0);
    const std::uint32_t lineEnd = std::min<std::uint64_t>(std::uint64_t(r.line) + r.lines, frame.Lines());
    const std::uint32_t pixelEnd = std::min<std::uint64_t>(std::uint64_t(r.pixel) + r.pixels, frame.Pixels());
    if (r.line >= lineEnd || r.pixel >= pixelEnd)
        return s;
    std::uint64_t *bins = s.fine.data();
    const std::uint32_t n = pixelEnd - r.pixel;
    if (s.pixelBytes != 4) {
        // Only counting in the loop; the figures follow from the bins exactly.
        for (std::uint32_t y = r.line; y < lineEnd; ++y) {
            const std::uint8_t *p = frame.Line(y) + std::size_t(r.pixel) * s.pixelBytes;
            if (s.pixelBytes == 1)
                for (std::uint32_t x = 0; x < n; ++x)
                    ++bins[p[x]];
            else
                for (std::uint32_t x = 0; x < n; ++x)
                    ++bins[std::uint32_t(p[2 * x]) | std::uint32_t(p[2 * x + 1]) << 8];
        }
        std::uint64_t sum = 0;
        unsigned __int128 squares = 0;
        bool first = true;
        for (std::size_t v = 0; v < s.fine.size(); ++v) {
            const std::uint64_t c = bins[v];
            if (c == 0)
                continue;
            if (first)
                s.min = std::uint32_t(v), first = false;
            s.max = std::uint32_t(v);
            s.count += c;
            sum += c * v;
            squares += static_cast<unsigned __int128>(c) * v * v;
        }
        s.mean = double(sum) / double(s.count);
        const double var = double(squares) / double(s.count) - s.mean * s.mean;
        s.sigma = std::sqrt(std::max(var, 0.0));
        return s;
    }
    std::uint64_t sum = 0;
    unsigned __int128 squares = 0;
    std::uint32_t lo = ~0u, hi = 0;
    for (std::uint32_t y = r.line; y < lineEnd; ++y) {
        const std::uint8_t *p = frame.Line(y) + std::size_t(r.pixel) * 4;
        for (std::uint32_t x = 0; x < n; ++x) {
            const std::uint32_t v = ReadSample(p + 4 * std::size_t(x), 4);
            ++bins[v >> 16];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v;
            squares += std::uint64_t(v) * v;
        }
    }
    s.count = std::uint64_t(lineEnd - r.line) * n;
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
