// The inspector's view without the scan tool: the values and grid drawn at high zoom against the
// frame's samples, and the grey window's mapping of each pixel size.
#include "scan/InspectorCanvas.h"
#include "scan/InspectorFeed.h"
#include "scan/SampleStats.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

std::shared_ptr<ScanFrame> RandomFrame(std::uint32_t pixels, std::uint32_t lines, std::uint32_t pixelBytes,
                                       unsigned seed)
{
    auto frame = std::make_shared<ScanFrame>();
    frame->geometry = ScanGeometry{lines, pixels, pixelBytes, 1};
    frame->bytes.resize(frame->geometry.stride() * lines);
    std::mt19937 random(seed);
    for (std::uint8_t &b : frame->bytes)
        b = std::uint8_t(random());
    return frame;
}

} // namespace

// At 16:1 and 32:1, in hex and decimal, for each pixel size: every pixel in view carries its own
// sample's text in an ink that stands apart from its grey, and the rendered picture shows the
// windowed grey inside the pixel and a grid line on its first row.
TEST(InspectorCanvasValues, EachPixelShowsItsSampleOnAGrid)
{
    struct Case {
        std::uint32_t pixelBytes;
        double zoom;
        bool hex;
        GreyWindow window;
    } cases[] = {{1, 16, true, {0, 255}},        {2, 32, true, {0x1000, 0xF000}},
                 {2, 16, false, {0, 0xFFFF}},     {4, 32, true, {0x10000000u, 0xE0000000u}},
                 {4, 32, false, {0, 0xFFFFFFFFu}}};
    for (const Case &c : cases) {
        SCOPED_TRACE("bytes " + std::to_string(c.pixelBytes) + ", zoom " + std::to_string(c.zoom));
        const auto frame = RandomFrame(61, 37, c.pixelBytes, c.pixelBytes * 7 + unsigned(c.zoom));
        InspectorCanvas canvas;
        canvas.resize(400, 300);
        canvas.SetFrame(frame);
        canvas.SetWindow(c.window);
        canvas.SetHexValues(c.hex);
        canvas.ZoomAt(c.zoom, QPointF(200, 150));
        const std::vector<InspectorCanvas::DrawnValue> values = canvas.ValuesShown();
        ASSERT_GT(values.size(), 50u);
        QImage picture;
        canvas.Render(picture);
        for (const InspectorCanvas::DrawnValue &v : values) {
            const std::uint32_t sample = frame->Sample(v.at.line, v.at.pixel);
            const QString expected =
                c.hex ? QString::number(sample, 16).toUpper().rightJustified(int(c.pixelBytes * 2), QLatin1Char('0'))
                      : QString::number(sample);
            ASSERT_EQ(v.text, expected);
            const int grey = c.window.Grey(sample);
            ASSERT_GE(std::abs(qGray(v.ink) - grey), 128);
            const QPoint inside = v.cell.center().toPoint(), edge(inside.x(), int(std::ceil(v.cell.top())));
            if (!picture.rect().contains(inside) || !picture.rect().contains(edge) || edge.y() == 0)
                continue;
            ASSERT_EQ(qGray(picture.pixel(inside)), grey);
            ASSERT_GE(std::abs(qGray(picture.pixel(edge)) - grey), 64) << "no grid on the pixel's edge";
        }
        // The painted view carries each value's ink inside its own pixel.
        const QImage painted = canvas.grab().toImage();
        for (const InspectorCanvas::DrawnValue &v : values) {
            const QRect cell = v.cell.toRect().adjusted(2, 2, -1, -1); // inside the grid
            if (!painted.rect().contains(cell))
                continue;
            const int ink = qGray(v.ink),
                      apart = std::abs(c.window.Grey(frame->Sample(v.at.line, v.at.pixel)) - ink);
            int inked = 0; // pixels at least halfway from the pixel's grey to the ink
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x)
                    inked += 2 * std::abs(qGray(painted.pixel(x, y)) - ink) <= apart;
            ASSERT_GE(inked, 1) << v.text.toStdString() << " not drawn";
        }
    }
    // Below 16:1 nothing is written on the pixels.
    InspectorCanvas canvas;
    canvas.resize(400, 300);
    canvas.SetFrame(RandomFrame(61, 37, 2, 1));
    canvas.ZoomAt(8, QPointF(200, 150));
    EXPECT_TRUE(canvas.ValuesShown().empty());
}

// Known samples through windows of each width, and the automatic window from a known spread.
TEST(InspectorGreyWindow, MapsSamplesToGreys)
{
    struct Case {
        GreyWindow w;
        std::uint32_t sample;
        int grey;
    } cases[] = {
        {{0, 255}, 0, 0},
        {{0, 255}, 128, 128},
        {{0, 255}, 255, 255},
        {{100, 200}, 99, 0},
        {{100, 200}, 150, 128},
        {{100, 200}, 201, 255},
        {{0, 0xFFFF}, 0x8000, 128},
        {{0x100, 0x1FF}, 0x1234, 255},
        {{0x100, 0x1FF}, 0x180, 128},
        {{0, 0xFFFFFFFFu}, 0xFFFFFFFFu, 255},
        {{0x10000000u, 0x20000000u}, 0x18000000u, 128},
        // bit shifts: bits s+7 .. s, higher bits ignored; beyond the size's top bits: its top
        {GreyWindow::Shift(8, 0xFFFF), 0x1234, 0x12},
        {GreyWindow::Shift(4, 0xFFFF), 0x1234, 0x23},
        {GreyWindow::Shift(0, 0xFFFF), 0x1234, 0x34},
        {GreyWindow::Shift(9, 0xFFFF), 0xFF00, 0xFF},
        {GreyWindow::Shift(24, 0xFFFFFFFFu), 0xAB123456u, 0xAB},
        {GreyWindow::Shift(12, 0xFFFFFFFFu), 0xAB123456u, 0x23}};
    for (const Case &c : cases)
        EXPECT_EQ(c.w.Grey(c.sample), c.grey) << c.w.lo << ".." << c.w.hi << " at " << c.sample;

    // 16-bit samples 1000 .. 2999, one each; a few outliers either side are cut off.
    ScanFrame frame;
    frame.geometry = ScanGeometry{1, 2004, 2, 1};
    frame.bytes.resize(frame.geometry.stride());
    for (std::uint32_t x = 0; x < 2004; ++x) {
        const std::uint32_t v = x < 2 ? 0 : x < 4 ? 0xFFFF : 996 + x;
        frame.bytes[2 * x] = std::uint8_t(v), frame.bytes[2 * x + 1] = std::uint8_t(v >> 8);
    }
    const GreyWindow w = GreyWindow::Auto(MeasureSamples(frame, WholeImage(frame)), 0xFFFF);
    EXPECT_EQ(w.lo, 1000u);
    EXPECT_EQ(w.hi, 2999u);
}

// The figures of chosen rectangles equal those counted sample by sample.
TEST(InspectorRegionStats, EqualTheSamplesCountedDirectly)
{
    const PixelRect rects[] = {{0, 0, 37, 61}, {5, 7, 10, 20}, {36, 60, 1, 1}, {30, 50, 20, 20}};
    for (std::uint32_t bytes : {1u, 2u, 4u})
        for (const PixelRect &r : rects) {
            SCOPED_TRACE("bytes " + std::to_string(bytes) + ", line " + std::to_string(r.line));
            const auto frame = RandomFrame(61, 37, bytes, bytes + r.line);
            const SampleStats s = MeasureSamples(*frame, r);
            std::uint64_t n = 0;
            long double sum = 0, squares = 0;
            std::uint32_t lo = ~0u, hi = 0;
            for (std::uint32_t y = r.line; y < std::min(r.line + r.lines, 37u); ++y)
                for (std::uint32_t x = r.pixel; x < std::min(r.pixel + r.pixels, 61u); ++x) {
                    const std::uint32_t v = frame->Sample(y, x);
                    ++n, sum += v, squares += (long double)v * v;
                    lo = std::min(lo, v), hi = std::max(hi, v);
                }
            const double mean = double(sum / n);
            EXPECT_EQ(s.count, n);
            EXPECT_EQ(s.min, lo);
            EXPECT_EQ(s.max, hi);
            EXPECT_NEAR(s.mean, mean, 1e-9 * (1 + mean));
            EXPECT_NEAR(s.sigma, std::sqrt(double(squares / n) - mean * mean), 1e-6 * (1 + mean));
            std::uint64_t binned = 0;
            for (std::uint64_t b : s.Bins256())
                binned += b;
            EXPECT_EQ(binned, n);
            if (r == WholeImage(*frame)) {
                EXPECT_EQ(s.Bins256(), InspectorFeed::Histogram(*frame)); // the feed's bins
            }
        }
}
