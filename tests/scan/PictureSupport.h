// Shared by the picture menu and inspector tests: a scan tool fixture that captures one frame
// of a chosen geometry and reads the image back, and the picture menu's entries.
#pragma once

#include "ScanToolFixture.h"

#include "framework/TestDriver.h"

#include <QPoint>

#include <string>
#include <vector>

namespace scantest {

inline constexpr const char *kPngEntry = "PNG形式で保存...";
inline constexpr const char *kInspectEntry = "拡大表示...";

class PictureTest : public ScanToolTest {
protected:
    // One delivered frame of pixels x lines at the pixel size (combo index 0, 1, 2: 8, 16, 32
    // bit); the scan runs on until cancelled, stepped.
    void Capture(std::uint32_t pixels, std::uint32_t lines, int sizeIndex)
    {
        Type(IDC_START_COUNT, "0");
        Type(IDC_PIXELS_PER_LINE, std::to_string(pixels));
        Type(IDC_LINES_PER_FRAME, std::to_string(lines));
        fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, sizeIndex);
        ASSERT_TRUE(Click(IDC_START));
        Step(1);
        ASSERT_NE(scan.CopyImage(0, 0).size, 0u);
    }
    // Ends the running scan, so that Start is available again.
    void StopScan()
    {
        SimInjectResult(SIM_OP_ScanCancel, 0, 1);
        ASSERT_TRUE(Click(IDC_FRAME_STOP));
    }
    std::vector<std::uint8_t> Image()
    {
        std::vector<std::uint8_t> copy;
        scan.Image().Read([&](const std::uint8_t *d, std::uint32_t n) { copy.assign(d, d + n); });
        return copy;
    }
    // The picture menu's entries as a right click shows them: text and whether enabled.
    std::vector<std::pair<std::string, bool>> MenuEntries()
    {
        std::vector<std::pair<std::string, bool>> out;
        for (const fw::ContextMenuEntry &e : fw::test::ContextMenu(scan, IDC_PICTURE))
            out.emplace_back(e.text, e.enabled);
        return out;
    }
    bool Choose(const char *entry)
    {
        Watchdog watchdog(std::string("the picture menu's entry ") + entry + " to finish");
        return fw::test::ChooseContextMenu(scan, IDC_PICTURE, entry);
    }
};

// The little-endian sample of pixelBytes at p.
inline std::uint32_t SampleAt(const std::vector<std::uint8_t> &image, std::size_t at,
                              std::uint32_t pixelBytes)
{
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < pixelBytes; ++i)
        v |= std::uint32_t(image[at + i]) << (8 * i);
    return v;
}

} // namespace scantest
