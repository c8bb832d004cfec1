// The picture inspector on the scan tool's image: the probe against the dump view's listing,
// the dump entry against the tool's own, zoom and pan by wheel and drag, the profile and
// histogram, following frames, and closing while frames arrive or together with the tool.
#include "PictureSupport.h"

#include "framework/Event.h"
#include "scan/HistogramView.h"
#include "scan/InspectorFeed.h"
#include "scan/LineProfileView.h"
#include "scan/PictureInspector.h"
#include "tools/DumpViewDlg.h"
#include "tools/HexListing.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QWheelEvent>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <thread>

using namespace scantest;
namespace dv = res::dumpview;

namespace {

void Mouse(QWidget *w, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void Key(QWidget *w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(w, &event);
}

void ClickAt(QWidget *w, QPointF at)
{
    Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void Wheel(QWidget *w, QPointF at, int notches)
{
    QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

// The bytes a listing's text lists from its start, in order.
std::vector<std::uint32_t> ListedBytes(const std::string &listing, std::size_t count)
{
    std::istringstream in(listing);
    std::vector<std::uint32_t> bytes;
    std::string word;
    while (bytes.size() < count && in >> word)
        if (word.size() == 2) // the address fields are 7 digits
            bytes.push_back(std::uint32_t(std::stoul(word, nullptr, 16)));
    return bytes;
}

} // namespace

class InspectorTest : public PictureTest {
protected:
    PictureInspector *Open()
    {
        EXPECT_TRUE(Choose(kInspectEntry));
        PictureInspector *inspector = scan.Inspector();
        if (!inspector)
            return nullptr;
        EXPECT_TRUE(inspector->isVisible());
        // The first copy comes from the inspector's own thread.
        EXPECT_TRUE(fw::test::WaitUntil([&] { return inspector->Frame() && !inspector->Frame()->Empty(); }))
            << "no frame reached the inspector";
        return inspector;
    }
};

// For chosen pixels of a 16-bit image (odd width: padded lines), the probe shows the sample
// and offset that the dump view, opened by "この位置をダンプ表示" once the scan has stopped,
// lists at that offset: from the 16-aligned line that holds it, the byte selected and in view.
TEST_F(InspectorTest, TheProbeMatchesTheDumpViewsListing)
{
    const std::uint32_t pixels = 203, lines = 97, pixelBytes = 2, stride = 408;
    Capture(pixels, lines, 1);
    StopScan(); // the dump view is not available while the scan runs
    const std::vector<std::uint8_t> image = Image();
    PictureInspector *inspector = Open();
    ASSERT_NE(inspector, nullptr);
    InspectorCanvas *canvas = inspector->Canvas();
    EXPECT_FALSE(inspector->DumpButton()->isEnabled()); // nothing probed yet

    const ImagePixel chosen[] = {{0, 0}, {17, 33}, {50, 101}, {lines - 1, pixels - 1}};
    for (const ImagePixel &p : chosen) {
        SCOPED_TRACE("line " + std::to_string(p.line) + ", pixel " + std::to_string(p.pixel));
        ClickAt(canvas, canvas->ViewPointOf(p)); // pins the probe
        ASSERT_EQ(inspector->Probe(), std::optional<ImagePixel>(p));
        const std::uint32_t offset = p.line * stride + p.pixel * pixelBytes;
        const std::uint32_t sample = SampleAt(image, offset, pixelBytes);
        char hex[16], off[16];
        std::snprintf(hex, sizeof hex, "%04X", sample);
        std::snprintf(off, sizeof off, "%X", offset);
        const PictureInspector::ProbeTexts shown = inspector->ProbeShown();
        EXPECT_EQ(shown.line, std::to_string(p.line));
        EXPECT_EQ(shown.pixel, std::to_string(p.pixel));
        EXPECT_EQ(shown.hex, hex);
        EXPECT_EQ(shown.decimal, std::to_string(sample));
        EXPECT_EQ(shown.offset, off);
        EXPECT_EQ(inspector->Profile()->Line(), std::optional<std::uint32_t>(p.line));

        bool listed = false;
        fw::test::WhenShown(res::IDD_DUMP_VIEW, [&](fw::Dialog &dump) {
            EXPECT_EQ(std::stoul(dump.GetDlgItemText(dv::IDC_START_OFFSET), nullptr, 16),
                      offset & ~15u);
            char first[16];
            std::snprintf(first, sizeof first, " %07X ", offset & ~15u);
            EXPECT_EQ(static_cast<CDumpViewDlg &>(dump).ListingText().substr(
                          hexlisting::kHeader.size(), 9), first);
            auto *edit = dump.widget()->findChild<QPlainTextEdit *>();
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->textCursor().selectedText().size(), 2);
            EXPECT_TRUE(edit->viewport()->rect().contains(edit->cursorRect()));
            const std::vector<std::uint32_t> bytes = ListedBytes(
                edit->toPlainText().mid(edit->textCursor().selectionStart()).toStdString(),
                pixelBytes);
            ASSERT_EQ(bytes.size(), pixelBytes);
            EXPECT_EQ(bytes[0] | bytes[1] << 8, sample);
            EXPECT_TRUE(inspector->DumpRunning());
            listed = true;
            fw::test::PressEscape(dump);
        });
        {
            Watchdog watchdog("the dump view opened from the inspector to close");
            ASSERT_TRUE(inspector->DumpButton()->isEnabled());
            inspector->DumpButton()->click();
        }
        EXPECT_TRUE(listed);
        EXPECT_FALSE(inspector->DumpRunning());
    }
    // A click on the pinned pixel lets it go; the probe then follows the cursor.
    ClickAt(canvas, canvas->ViewPointOf(chosen[3]));
    EXPECT_FALSE(inspector->Canvas()->Pinned());
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}

// The inspector's dump entry is available exactly when the tool's own ダンプ表示 is: not while
// a scan runs (the modal view would keep フレーム中止 from the user).
TEST_F(InspectorTest, TheDumpEntryFollowsTheToolsDumpButton)
{
    Capture(64, 32, 0); // the scan runs on
    PictureInspector *inspector = Open();
    ASSERT_NE(inspector, nullptr);
    const ImagePixel p{3, 5};
    ClickAt(inspector->Canvas(), inspector->Canvas()->ViewPointOf(p));
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "scan running" : "scan stopped");
        if (!running)
            StopScan();
        const bool toolsButton = scan.IsDlgItemEnabled(IDC_DUMP_VIEW);
        EXPECT_EQ(toolsButton, !running);
        EXPECT_EQ(inspector->DumpButton()->isEnabled(), toolsButton);
        bool opened = false;
        fw::test::WhenShown(res::IDD_DUMP_VIEW, [&](fw::Dialog &dump) {
            opened = true;
            fw::test::PressEscape(dump);
        });
        {
            Watchdog watchdog("the inspector's dump to return");
            inspector->DumpAt(p);
        }
        fw::test::ClearWhenShown();
        EXPECT_EQ(opened, toolsButton);
    }
}

// The wheel zooms at the cursor (the image point under it stays), from fit to 32:1; a drag
// moves the image with the cursor; the histogram counts every sample.
TEST_F(InspectorTest, WheelZoomsAtTheCursorAndDragPans)
{
    Capture(1000, 600, 0);
    PictureInspector *inspector = Open();
    ASSERT_NE(inspector, nullptr);
    InspectorCanvas *canvas = inspector->Canvas();
    const double fit = canvas->FitZoom();
    EXPECT_DOUBLE_EQ(canvas->Zoom(), fit);
    Wheel(canvas, QPointF(10, 10), -3); // not below fit
    EXPECT_DOUBLE_EQ(canvas->Zoom(), fit);

    const QPointF at(canvas->width() * 0.3, canvas->height() * 0.6);
    const QPointF before = canvas->Origin() + at / canvas->Zoom();
    Wheel(canvas, at, 4);
    EXPECT_NEAR(canvas->Zoom(), fit * 4, 1e-9);
    const QPointF after = canvas->Origin() + at / canvas->Zoom();
    EXPECT_NEAR(after.x(), before.x(), 1e-6);
    EXPECT_NEAR(after.y(), before.y(), 1e-6);

    const QPointF origin = canvas->Origin();
    Mouse(canvas, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(canvas, QEvent::MouseMove, at + QPointF(40, 20), Qt::NoButton, Qt::LeftButton);
    Mouse(canvas, QEvent::MouseButtonRelease, at + QPointF(40, 20), Qt::LeftButton, Qt::NoButton);
    EXPECT_NEAR(canvas->Origin().x(), origin.x() - 40 / canvas->Zoom(), 1e-6);
    EXPECT_NEAR(canvas->Origin().y(), origin.y() - 20 / canvas->Zoom(), 1e-6);
    EXPECT_FALSE(canvas->Pinned()); // a drag is no click

    Wheel(canvas, at, 40);
    EXPECT_DOUBLE_EQ(canvas->Zoom(), InspectorCanvas::kMaxZoom);
    // At 32:1 the pixel under the cursor is drawn 32 pixels wide with its grey.
    const std::optional<ImagePixel> p = canvas->PixelAt(at);
    ASSERT_TRUE(p);
    QImage shown;
    canvas->Render(shown);
    const std::vector<std::uint8_t> image = Image();
    const std::uint8_t grey = image[p->line * 1000 + p->pixel];
    EXPECT_EQ(qRed(shown.pixel(at.toPoint())), grey);

    std::uint64_t counted = 0;
    for (std::uint64_t n : inspector->Histogram()->Bins())
        counted += n;
    EXPECT_EQ(counted, 1000u * 600u);
    EXPECT_EQ(inspector->Histogram()->Bins()[image[0]] != 0, true);
}

// New frames reach the inspector while it is open; closing it, or the whole tool, while frames
// keep arriving neither hangs nor leaves its thread copying a released image.
TEST_F(InspectorTest, FollowsFramesAndClosesCleanlyWhileTheyArrive)
{
    Capture(512, 256, 0);
    PictureInspector *inspector = Open();
    ASSERT_NE(inspector, nullptr);
    const std::uint64_t first = inspector->Frame()->serial;
    Step(2);
    EXPECT_TRUE(fw::test::WaitUntil([&] { return inspector->Frame()->serial != first; }))
        << "the inspector did not follow the next frame";

    SimSetStepMode(0); // frames as fast as the board makes them
    {
        Watchdog watchdog("the inspector to close while frames arrive");
        fw::PumpEventsFor(100);
        inspector->close();
        fw::PumpEventsFor(50);
    }
    EXPECT_EQ(scan.Inspector(), nullptr);

    // Open again, then the tool closes under it.
    inspector = Open();
    ASSERT_NE(inspector, nullptr);
    fw::PumpEventsFor(100);
    WindDown();
    EXPECT_EQ(scan.Inspector(), nullptr);
}

// Closing the inspector while its thread copies a frame, and the scan tool while that close
// waits; and the other way round. Each close stops the feed's thread; the one that finds it
// stopped by the other returns, none joins it twice, and the window goes once both are done.
TEST_F(InspectorTest, InspectorAndToolCloseTogether)
{
    for (const bool inspectorFirst : {true, false}) {
        SCOPED_TRACE(inspectorFirst ? "the inspector first" : "the tool first");
        if (!inspectorFirst)
            Reopen();
        Capture(512, 256, 0);
        QPointer<PictureInspector> inspector = Open();
        ASSERT_FALSE(inspector.isNull());
        // The image lock, held on another thread, keeps the feed's next copy under way.
        fw::AutoResetEvent letGo;
        std::atomic<bool> held{false};
        std::thread holder([&] {
            scan.Image().Read([&](const std::uint8_t *, std::uint32_t) {
                held = true;
                letGo.Wait();
            });
        });
        ASSERT_TRUE(fw::test::WaitUntil([&] { return held.load(); }));
        inspector->Feed().Request(true);
        ASSERT_TRUE(fw::test::WaitUntil([&] { return inspector->Feed().Copying(); }));
        auto close = [&](bool theInspector) {
            if (!theInspector)
                scan.WindDown();
            else if (inspector)
                inspector->close();
        };
        // The second close runs inside the first one's pumping wait.
        fw::PostToUi([&] {
            letGo.Set();
            close(!inspectorFirst);
            // The tool's window, with the inspector in it, may go before the first close returns.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
        {
            Watchdog watchdog("the inspector and the scan tool to close together");
            close(inspectorFirst);
        }
        holder.join();
        EXPECT_FALSE(scan.IsWindow());
        EXPECT_EQ(scan.Inspector(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(inspector.isNull()) << "the inspector's deletion was not queued";
    }
}

// A Ctrl drag over a 16-bit image selects the rectangle between its pixels: its figures equal
// the samples counted directly, and its copied text lists them. The arrow keys step the pinned
// probe, ten at a time with Shift, never off the image. A drag on the histogram sets the window;
// the bit shift draws eight bits of each sample.
TEST_F(InspectorTest, RegionFiguresKeysAndWindow)
{
    const std::uint32_t pixels = 203, lines = 97, stride = 408;
    Capture(pixels, lines, 1);
    const std::vector<std::uint8_t> image = Image();
    PictureInspector *inspector = Open();
    ASSERT_NE(inspector, nullptr);
    InspectorCanvas *canvas = inspector->Canvas();
    const ImagePixel from{20, 30}, to{11, 41}; // dragged up and to the right
    const QPointF a = canvas->ViewPointOf(from), b = canvas->ViewPointOf(to);
    QMouseEvent press(QEvent::MouseButtonPress, a, canvas->mapToGlobal(a), Qt::LeftButton,
                      Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(canvas, &press);
    Mouse(canvas, QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
    Mouse(canvas, QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(inspector->RegionStats().has_value());
    std::uint64_t n = 0, sum = 0;
    std::uint32_t lo = ~0u, hi = 0;
    std::string firstRow;
    for (std::uint32_t y = 11; y <= 20; ++y)
        for (std::uint32_t x = 30; x <= 41; ++x) {
            const std::uint32_t v = SampleAt(image, y * stride + x * 2, 2);
            ++n, sum += v, lo = std::min(lo, v), hi = std::max(hi, v);
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", v);
            if (y == 11)
                firstRow += (x == 30 ? "" : "\t") + std::string(hex);
        }
    const SampleStats &s = *inspector->RegionStats();
    EXPECT_EQ(s.count, n);
    EXPECT_EQ(s.min, lo);
    EXPECT_EQ(s.max, hi);
    EXPECT_DOUBLE_EQ(s.mean, double(sum) / double(n));
    const QStringList rows = inspector->RegionValuesText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 10);
    EXPECT_EQ(rows[0].toStdString(), firstRow);

    ClickAt(canvas, canvas->ViewPointOf({1, 2}));
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        ImagePixel expected;
    } steps[] = {{Qt::Key_Right, Qt::NoModifier, {1, 3}},   {Qt::Key_Down, Qt::ShiftModifier, {11, 3}},
                 {Qt::Key_Left, Qt::ShiftModifier, {11, 0}}, {Qt::Key_Up, Qt::ShiftModifier, {1, 0}},
                 {Qt::Key_Up, Qt::NoModifier, {0, 0}},       {Qt::Key_Up, Qt::NoModifier, {0, 0}}};
    for (const auto &step : steps) {
        Key(canvas, step.key, step.modifiers);
        EXPECT_EQ(inspector->Probe(), std::optional<ImagePixel>(step.expected));
    }

    HistogramView *histogram = inspector->Histogram();
    const int y = histogram->height() / 2, w = histogram->width();
    Mouse(histogram, QEvent::MouseButtonPress, QPointF(w / 4.0, y), Qt::LeftButton, Qt::LeftButton);
    Mouse(histogram, QEvent::MouseButtonRelease, QPointF(w * 3 / 4.0, y), Qt::LeftButton, Qt::NoButton);
    const GreyWindow dragged = canvas->Window();
    EXPECT_NEAR(dragged.lo, 0x4000, 0x1000);
    EXPECT_NEAR(dragged.hi, 0xC000, 0x1000);

    // The bit shift: each pixel drawn shows bits s+7 .. s of its sample; the probe stays raw.
    QRadioButton *shift = nullptr;
    for (QRadioButton *button : inspector->findChildren<QRadioButton *>())
        if (button->text() == QStringLiteral("ビットシフト："))
            shift = button;
    ASSERT_NE(shift, nullptr);
    ASSERT_TRUE(shift->isEnabled());
    shift->click();
    for (const int s : {8, 4, 0}) {
        SCOPED_TRACE("shift " + std::to_string(s));
        inspector->findChild<QSpinBox *>()->setValue(s);
        ASSERT_EQ(canvas->Window().shift, s);
        QImage shown;
        canvas->Render(shown);
        for (const ImagePixel p : {ImagePixel{3, 5}, ImagePixel{50, 100}, ImagePixel{96, 202}}) {
            const QPoint at = canvas->ViewPointOf(p).toPoint();
            const std::optional<ImagePixel> drawn =
                canvas->PixelAt(QPointF(at) + QPointF(0.5, 0.5));
            ASSERT_TRUE(drawn.has_value());
            const std::uint32_t v = SampleAt(image, drawn->line * stride + drawn->pixel * 2, 2);
            EXPECT_EQ(qGray(shown.pixel(at)), int((v >> s) & 0xFF)) << std::hex << v;
        }
    }
    canvas->SetPinned(ImagePixel{7, 9});
    char raw[8];
    std::snprintf(raw, sizeof raw, "%04X", SampleAt(image, 7 * stride + 9 * 2, 2));
    EXPECT_EQ(inspector->ProbeShown().hex, raw);
}

// The histogram of each pixel size is over the size's whole range.
TEST(InspectorHistogram, BinsSpanThePixelSizesRange)
{
    ScanFrame frame;
    frame.geometry = ScanGeometry{2, 3, 2, 1}; // 2 lines of 3 16-bit pixels, stride 8
    frame.bytes = {0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xEE, 0xEE, // padding after 3 samples
                   0xFF, 0xFF, 0x34, 0x12, 0x00, 0x80};
    const std::vector<std::uint64_t> bins = InspectorFeed::Histogram(frame);
    ASSERT_EQ(bins.size(), 256u);
    EXPECT_EQ(bins[0x00], 2u);  // 0x0000, 0x00FF
    EXPECT_EQ(bins[0xFF], 2u);  // 0xFF00, 0xFFFF
    EXPECT_EQ(bins[0x12], 1u);
    EXPECT_EQ(bins[0x80], 1u);
    EXPECT_EQ(bins[0xEE], 0u);  // the padding is no sample
}
