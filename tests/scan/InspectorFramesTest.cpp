// The inspector on frames as they arrive: lines the current frame did not deliver are hatched,
// counted and probed as such.
#include "PictureSupport.h"

#include "scan/PictureInspector.h"

#include <QImage>

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
// hatched, counted in the status line and probed as 未転送; the next frame's first run starts
// the count afresh; lines delivered show their values.
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
            if (!expectMissing)
                EXPECT_TRUE(qRed(drawn) == qGreen(drawn) && qGreen(drawn) == qBlue(drawn));
            canvas->SetPinned(p);
            const PictureInspector::ProbeTexts probe = inspector->ProbeShown();
            EXPECT_EQ(probe.decimal == "未転送", expectMissing) << probe.decimal;
            EXPECT_EQ(probe.hex == "未転送", expectMissing) << probe.hex;
            EXPECT_EQ(probe.line, std::to_string(line));
            canvas->SetPinned(std::nullopt);
        }
    }
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}
