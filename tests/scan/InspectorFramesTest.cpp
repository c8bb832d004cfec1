// The inspector on frames as they arrive: lines the current frame did not deliver are hatched,
// counted and probed as such; the frame history keeps, names and steps through the last frames.
#include "PictureSupport.h"

#include "scan/FrameHistory.h"
#include "scan/HistogramView.h"
#include "scan/LineProfileView.h"
#include "scan/PictureInspector.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>

using namespace scantest;

namespace {

class InspectorFramesTest : public PictureTest {
protected:
    // A line-unit scan of pixels x lines, 8 bit, in runs of runLines; the scan runs on, stepped.
    void StartLineScan(std::uint32_t pixels, std::uint32_t lines, std::uint32_t runLines)
    {
        Type(IDC_START_COUNT, "0");
        Type(IDC_PIXELS_PER_LINE, std::to_string(pixels));
        Type(IDC_LINES_PER_FRAME, std::to_string(lines));
        fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
        Type(IDC_LINE_INT_INTERVAL, std::to_string(runLines));
        ASSERT_TRUE(Click(IDC_START));
    }
    PictureInspector *OpenInspector()
    {
        EXPECT_TRUE(Choose(kInspectEntry));
        return scan.Inspector();
    }
    // Waits until the inspector shows a copy taken after the last step.
    static bool Follows(PictureInspector *inspector, const ScanImage &image)
    {
        const std::uint64_t serial = image.Serial();
        inspector->ImageChanged();
        return fw::test::WaitUntil([&] { return inspector->Frame() && inspector->Frame()->serial >= serial; });
    }
};

bool Hatched(QRgb c)
{
    return c == InspectorCanvas::kUndelivered || c == InspectorCanvas::kUndeliveredDark;
}

} // namespace

// A frame stopped part way (runs of 16 lines of 64): exactly the lines after the last run are
// hatched, counted in the status line and probed as 未転送, and left out of the histogram, its
// figures, a region's and the column profile; the next frame's first run starts the count afresh;
// lines delivered show their values.
TEST_F(InspectorFramesTest, UndeliveredLinesAreMarkedCountedAndProbed)
{
    const std::uint32_t pixels = 40, lines = 64;
    StartLineScan(pixels, lines, 16);
    Step(1);
    PictureInspector *inspector = OpenInspector();
    ASSERT_NE(inspector, nullptr);
    InspectorCanvas *canvas = inspector->Canvas();

    struct Case {
        int steps;              // more runs delivered
        std::uint32_t delivered; // lines of the current frame delivered since its start
    };
    const Case cases[] = {{1, 32}, {2, 64}, {1, 16}, {2, 48}};
    for (const Case &c : cases) {
        SCOPED_TRACE("delivered " + std::to_string(c.delivered));
        Step(c.steps);
        ASSERT_TRUE(Follows(inspector, scan.Image()));
        const std::uint32_t missing = lines - c.delivered;
        const std::string status = inspector->StatusShown();
        if (missing == 0)
            EXPECT_EQ(status.find("未転送"), std::string::npos) << status;
        else
            EXPECT_NE(status.find("未転送 " + std::to_string(missing) + " ライン"), std::string::npos) << status;
        EXPECT_EQ(inspector->Frame()->UndeliveredLines(), missing);
        canvas->SetRegion(PixelRect{0, 0, lines, pixels});
        for (const std::optional<SampleStats> *stats :
             {&inspector->ImageStats(), &inspector->RegionStats()}) {
            ASSERT_TRUE(stats->has_value());
            EXPECT_EQ((*stats)->count, std::uint64_t(c.delivered) * pixels);
            EXPECT_EQ((*stats)->undeliveredLines, missing);
        }
        std::uint64_t binned = 0;
        for (const std::uint64_t n : inspector->Histogram()->Bins())
            binned += n;
        EXPECT_EQ(binned, std::uint64_t(c.delivered) * pixels);
        const std::string figures = inspector->Histogram()->FiguresText().toStdString();
        EXPECT_EQ(figures.find("未転送の " + std::to_string(missing) + " ライン") !=
                      std::string::npos,
                  missing != 0)
            << figures;
        const QString copied = inspector->RegionValuesText();
        EXPECT_EQ(copied.section(QLatin1Char('\n'), lines - 1, lines - 1)
                      .startsWith(QStringLiteral("未転送\t")),
                  missing != 0);

        QImage shown;
        canvas->Render(shown);
        for (const std::uint32_t line : {0u, c.delivered - 1, c.delivered, lines - 1}) {
            if (line >= lines)
                continue;
            SCOPED_TRACE("line " + std::to_string(line));
            const bool expectMissing = line >= c.delivered;
            const ImagePixel p{line, pixels / 2};
            const QRgb drawn = shown.pixel(canvas->ViewPointOf(p).toPoint());
            EXPECT_EQ(Hatched(drawn), expectMissing);
            if (!expectMissing) {
                EXPECT_TRUE(qRed(drawn) == qGreen(drawn) && qGreen(drawn) == qBlue(drawn));
            }
            canvas->SetPinned(p);
            const PictureInspector::ProbeTexts probe = inspector->ProbeShown();
            EXPECT_EQ(probe.decimal == "未転送", expectMissing) << probe.decimal;
            EXPECT_EQ(probe.hex == "未転送", expectMissing) << probe.hex;
            EXPECT_EQ(probe.line, std::to_string(line));
            canvas->SetPinned(std::nullopt);
        }
        // The column profile draws nothing over the undelivered lines (its right end).
        canvas->SetPinned(ImagePixel{0, pixels / 2});
        const QImage profile = inspector->ColumnProfile()->grab().toImage();
        bool curveAtEnd = false;
        for (int y = 0; y < profile.height(); ++y)
            curveAtEnd = curveAtEnd || profile.pixel(profile.width() - 6, y) == qRgb(0, 0, 160);
        EXPECT_EQ(curveAtEnd, missing == 0);
        canvas->SetPinned(std::nullopt);
    }
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}

// The history keeps the newest frames in order within its count and its bytes (the newest
// always, however large); a frame copied again replaces its earlier copy.
TEST(FrameHistoryTest, KeepsTheNewestWithinItsBounds)
{
    struct Case {
        const char *name;
        std::size_t frames;
        std::uint64_t maxBytes;
        std::vector<std::pair<std::uint32_t, std::size_t>> added; // frame number, bytes
        std::vector<std::uint32_t> kept;                          // frame numbers, oldest first
    };
    const Case cases[] = {
        {"count", 3, 1000, {{0, 10}, {1, 10}, {2, 10}, {3, 10}, {4, 10}}, {2, 3, 4}},
        {"bytes", 16, 100, {{0, 40}, {1, 40}, {2, 40}, {3, 40}}, {2, 3}},
        {"newest beyond the bytes", 16, 100, {{0, 40}, {1, 400}}, {1}},
        {"copied again", 4, 1000, {{0, 10}, {1, 10}, {1, 10}, {2, 10}}, {0, 1, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FrameHistory history(c.frames, c.maxBytes);
        for (const auto &[number, bytes] : c.added) {
            auto frame = std::make_shared<ScanFrame>();
            frame->geometry.lines = std::uint32_t(bytes);
            frame->geometry.pixels = 1;
            frame->bytes.assign(bytes, 0);
            frame->frameNumber = number;
            auto snapshot = std::make_shared<InspectorSnapshot>();
            snapshot->frame = frame;
            history.Add(snapshot);
            EXPECT_LE(history.Size(), c.frames);
            EXPECT_TRUE(history.Size() == 1 || history.Bytes() <= c.maxBytes);
        }
        std::vector<std::uint32_t> kept;
        for (std::size_t i = 0; i < history.Size(); ++i)
            kept.push_back(history.At(i)->frame->frameNumber);
        EXPECT_EQ(kept, c.kept);
    }
}

// Under the simulator's stale-frame scenario (every 10th frame repeats the one before), the
// history holds the last 16 frames in order; stepping back with the keys names each frame and
// marks exactly the repeated ones; stepping forward past the newest follows new frames again.
TEST_F(InspectorFramesTest, HistoryStepsInOrderAndMarksStaleFrames)
{
    ASSERT_EQ(SimSetScenario("stale-frame", 1), 0);
    Type(IDC_START_COUNT, "0");
    Type(IDC_PIXELS_PER_LINE, "48");
    Type(IDC_LINES_PER_FRAME, "24");
    ASSERT_TRUE(Click(IDC_START));
    Step(1);
    PictureInspector *inspector = OpenInspector();
    ASSERT_NE(inspector, nullptr);
    ASSERT_TRUE(Follows(inspector, scan.Image()));
    for (int i = 1; i < 20; ++i) {
        Step(1);
        ASSERT_TRUE(Follows(inspector, scan.Image()));
    }
    const FrameHistory &history = inspector->History();
    ASSERT_EQ(history.Size(), FrameHistory::kFrames);
    EXPECT_NE(inspector->HistoryShown().find("履歴 16 フレーム（最大 256 MB"), std::string::npos);
    EXPECT_TRUE(inspector->FollowsNewest());

    auto press = [&](int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(inspector->Canvas(), &event); // the canvas passes it up
    };
    // From the newest (frame 19) back to the oldest kept (frame 4), and one more stays there.
    for (std::uint32_t number = 19;; --number) {
        SCOPED_TRACE("frame " + std::to_string(number));
        ASSERT_EQ(inspector->Frame()->frameNumber, number);
        const std::string shown = inspector->FrameShown();
        EXPECT_EQ(shown.rfind("フレーム " + std::to_string(number) + "　", 0), 0u) << shown;
        const bool stale = number == 9 || number == 19;
        EXPECT_EQ(inspector->Frame()->stale, stale);
        EXPECT_EQ(shown.find("前のフレームと同じ画像") != std::string::npos, stale) << shown;
        if (number == 4)
            break;
        press(number % 2 ? Qt::Key_PageUp : Qt::Key_Comma);
    }
    press(Qt::Key_PageUp);
    EXPECT_EQ(inspector->Frame()->frameNumber, 4u);
    EXPECT_FALSE(inspector->FollowsNewest());

    // A new frame while the oldest is shown: it leaves the history, the view moves to the next.
    Step(1);
    ASSERT_TRUE(fw::test::WaitUntil([&] { return history.At(history.Size() - 1)->frame->frameNumber == 20; }));
    EXPECT_EQ(inspector->Frame()->frameNumber, 5u);
    EXPECT_FALSE(inspector->FollowsNewest());
    press(Qt::Key_PageDown); // an old frame stays shown while new ones arrive
    Step(1);
    ASSERT_TRUE(fw::test::WaitUntil([&] { return history.At(history.Size() - 1)->frame->frameNumber == 21; }));
    EXPECT_EQ(inspector->Frame()->frameNumber, 6u);
    for (int i = 0; i < 16; ++i)
        press(i % 2 ? Qt::Key_PageDown : Qt::Key_Period);
    EXPECT_TRUE(inspector->FollowsNewest());
    EXPECT_EQ(inspector->Frame()->frameNumber, 21u);
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}
