// The picture additions on a full 32 MB scan image: the inspector's redraw (only the visible
// part is converted) at 1:1 and 8:1, its feed's copy and histogram, and the PNG save's encoding
// and write at each pixel size. Targets: a redraw within a 16 ms frame, a save within 1 s.
// On a 64 MB 16-bit image: the redraw with values and grid at 32:1 (target 4 ms), a grey window
// change (30 ms) and the figures of the whole image, as a region over all of it counts them
// (50 ms); each also in the UI thread's CPU time.
#include "BenchSupport.h"

#include "framework/UiThread.h"
#include "res/Templates.h"
#include "scan/InspectorCanvas.h"
#include "scan/InspectorFeed.h"
#include "scan/SampleStats.h"
#include "scan/ScanPng.h"
#include "simctl.h"

#include <QApplication>

#include <filesystem>

#include <time.h>

using benchsupport::Micros;

namespace {

double ThreadCpuMicros()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// A scan frame as the simulated board draws it (gradient, grid, text).
std::shared_ptr<ScanFrame> SynthFrame(std::uint32_t pixels, std::uint32_t lines, std::uint32_t pixelBytes)
{
    auto frame = std::make_shared<ScanFrame>();
    frame->geometry = ScanGeometry{lines, pixels, pixelBytes, 1};
    frame->bytes.resize(frame->geometry.stride() * lines);
    for (std::uint32_t y = 0; y < lines; ++y)
        for (std::uint32_t x = 0; x < pixels; ++x) {
            const std::uint32_t v = SimAreaPixel(x, y, pixels, lines, pixelBytes, 1);
            std::uint8_t *p = frame->bytes.data() + frame->Offset(y, x);
            for (std::uint32_t i = 0; i < pixelBytes; ++i)
                p[i] = std::uint8_t(v >> (8 * i));
        }
    return frame;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fw::initUiThread();
    res::RegisterTemplates();

    const std::shared_ptr<ScanFrame> grey8 = SynthFrame(8192, 4096, 1);

    // The inspector's view at the size the window opens with.
    InspectorCanvas canvas;
    canvas.resize(760, 560);
    canvas.show();
    canvas.SetFrame(grey8);
    QImage target;
    for (double zoom : {1.0, 8.0}) {
        canvas.ZoomAt(zoom, QPointF(380, 280));
        std::vector<double> render, paint;
        for (int i = 0; i < 200; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            canvas.Render(target);
            auto t1 = std::chrono::steady_clock::now();
            const QPixmap shown = canvas.grab(); // convert and draw, as a frame or a pan redraws it
            auto t2 = std::chrono::steady_clock::now();
            render.push_back(Micros(t0, t1));
            paint.push_back(Micros(t1, t2));
        }
        char what[96];
        std::snprintf(what, sizeof what, "inspector convert, 8192x4096x8 at %g:1, 760x560", zoom);
        benchsupport::Print(what, render);
        std::snprintf(what, sizeof what, "inspector redraw (paint into a pixmap), at %g:1", zoom);
        benchsupport::Print(what, paint);
    }
    {
        std::vector<double> copy, count;
        for (int i = 0; i < 10; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            ScanFrame fresh;
            fresh.bytes.resize(grey8->bytes.size()); // the feed touches its pages first
            auto t1 = std::chrono::steady_clock::now();
            fresh.geometry = grey8->geometry;
            fresh.bytes.assign(grey8->bytes.begin(), grey8->bytes.end()); // under the image lock
            auto t2 = std::chrono::steady_clock::now();
            std::vector<std::uint64_t> bins = InspectorFeed::Histogram(fresh);
            auto t3 = std::chrono::steady_clock::now();
            copy.push_back(Micros(t1, t2));
            count.push_back(Micros(t2, t3));
            (void)t0;
        }
        benchsupport::Print("feed: copy of 32 MB (the image lock's hold)", copy);
        benchsupport::Print("feed: histogram of 32 MB (feed thread)", count);
    }

    {
        const std::shared_ptr<ScanFrame> grey16 = SynthFrame(8192, 4096, 2);
        InspectorCanvas wide;
        wide.resize(760, 560);
        wide.show();
        wide.SetFrame(grey16);
        wide.ZoomAt(32, QPointF(380, 280));
        // Wall time, and the thread's CPU time beside it: on a host shared with other work the
        // wall time also counts the time the thread waited for a core.
        std::vector<double> values, window, figures, valuesCpu, windowCpu, figuresCpu;
        for (int i = 0; i < 100; ++i) {
            const double c0 = ThreadCpuMicros();
            auto t0 = std::chrono::steady_clock::now();
            const QPixmap shown = wide.grab();
            auto t1 = std::chrono::steady_clock::now();
            values.push_back(Micros(t0, t1));
            valuesCpu.push_back(ThreadCpuMicros() - c0);
        }
        wide.Fit();
        for (int i = 0; i < 50; ++i) {
            const double c0 = ThreadCpuMicros();
            auto t0 = std::chrono::steady_clock::now();
            wide.SetWindow(GreyWindow{std::uint32_t(i * 64), std::uint32_t(0xF000 + i)});
            const QPixmap shown = wide.grab();
            auto t1 = std::chrono::steady_clock::now();
            window.push_back(Micros(t0, t1));
            windowCpu.push_back(ThreadCpuMicros() - c0);
        }
        for (int i = 0; i < 10; ++i) {
            const double c0 = ThreadCpuMicros();
            auto t0 = std::chrono::steady_clock::now();
            const SampleStats stats = MeasureSamples(*grey16, WholeImage(*grey16));
            auto t1 = std::chrono::steady_clock::now();
            figures.push_back(Micros(t0, t1));
            figuresCpu.push_back(ThreadCpuMicros() - c0);
        }
        benchsupport::Print("inspector redraw, values and grid, 8192x4096x16 at 32:1", values);
        benchsupport::Print("inspector grey window change and redraw (fitted)", window);
        benchsupport::Print("figures of the whole 8192x4096x16 image", figures);
        benchsupport::Print("  the same three, CPU time: redraw with values", valuesCpu);
        benchsupport::Print("  grey window change and redraw", windowCpu);
        benchsupport::Print("  figures of the whole image", figuresCpu);
    }

    const std::filesystem::path file = std::filesystem::temp_directory_path() / "pelora_bench.png";
    struct Size {
        std::uint32_t pixels, lines, bytes;
    };
    for (Size s : {Size{8192, 4096, 1}, Size{4096, 4096, 2}, Size{2048, 4096, 4}}) {
        const std::shared_ptr<const ScanFrame> frame = s.bytes == 1 ? grey8 : SynthFrame(s.pixels, s.lines, s.bytes);
        const pngfile::SaveRequest request = ScanPngRequest(frame);
        std::vector<double> encode, write;
        std::size_t size = 0;
        for (int i = 0; i < 3; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            const std::vector<std::uint8_t> png = pngfile::EncodeRows(request.layout, request.fill);
            auto t1 = std::chrono::steady_clock::now();
            pngfile::WriteFile(file.string(), png);
            auto t2 = std::chrono::steady_clock::now();
            encode.push_back(Micros(t0, t1));
            write.push_back(Micros(t1, t2));
            size = png.size();
        }
        char what[96];
        std::snprintf(what, sizeof what, "PNG encode, %ux%u x %u bytes (32 MB) -> %zu KB", s.pixels,
                      s.lines, s.bytes, size / 1024);
        benchsupport::Print(what, encode);
        benchsupport::Print("PNG write", write);
    }
    std::filesystem::remove(file);
    fw::shutdownUiThread();
    return 0;
}
