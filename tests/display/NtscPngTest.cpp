// The live display's picture menu: "PNG形式で保存..." greyed out until there is a frame buffer,
// then the shown 640 x 480 frame saved in colour; a failed write reported as such.
#include "NtscTestSupport.h"

#include "tools/PngFile.h"

#include <QImage>

#include <filesystem>

using namespace ntsc_test;
using fw::test::Click;

namespace {

constexpr const char *kPngEntry = "PNG形式で保存...";

bool EntryEnabled(CNtscViewDlg &dlg)
{
    for (const fw::ContextMenuEntry &e : fw::test::ContextMenu(dlg, IDC_PICTURE))
        if (e.text == kPngEntry)
            return e.enabled;
    ADD_FAILURE() << "no PNG entry on the picture";
    return false;
}

} // namespace

TEST_F(NtscViewTest, PngSaveWritesTheShownFrameInColour)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "pelora_ntsc.png";
    sinks.files->push(file.string());
    sinks.files->push(std::string("/dev/full"));
    Run([&](CNtscViewDlg &dlg) {
        EXPECT_FALSE(EntryEnabled(dlg));
        EXPECT_FALSE(fw::test::ChooseContextMenu(dlg, IDC_PICTURE, kPngEntry));

        ASSERT_TRUE(Click(dlg, IDC_START));
        ASSERT_TRUE(fw::test::WaitUntil([&] { return dlg.Capture().FramesCopied() >= 3; }));
        ASSERT_TRUE(Click(dlg, IDC_STOP)); // the buffer holds still from here
        const std::vector<std::uint8_t> frame = dlg.Capture().FrameCopy();
        ASSERT_EQ(frame.size(), kFrameBytes);
        EXPECT_TRUE(EntryEnabled(dlg));
        {
            testing_support::Watchdog watchdog("the live display's PNG saves to finish");
            ASSERT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_PICTURE, kPngEntry));
            ASSERT_TRUE(fw::test::ChooseContextMenu(dlg, IDC_PICTURE, kPngEntry));
        }
        EXPECT_EQ(sinks.files->requests().at(0).initialName, "Ntsc(640x480).png");

        QImage png(QString::fromStdString(file.string()), "png");
        ASSERT_EQ(png.size(), QSize(640, 480));
        EXPECT_FALSE(png.isGrayscale());
        int mismatches = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const std::uint8_t *p = frame.data() + (std::size_t(y) * 640 + std::size_t(x)) * 3;
                if (png.pixel(x, y) != qRgb(p[2], p[1], p[0]) && mismatches++ < 5)
                    ADD_FAILURE() << "pixel " << x << ", " << y;
            }
        EXPECT_EQ(mismatches, 0);
    });
    const std::vector<std::string> texts = BoxTexts();
    EXPECT_EQ(texts, (std::vector<std::string>{"PNG形式で保存しました。",
                                               "ファイルの書き込みに失敗しました。"}));
    EXPECT_EQ(sinks.boxes->boxes().back().icon, fw::MsgIcon::Stop);
    EXPECT_EQ(sinks.boxes->boxes().back().caption, pngfile::kCaption);
    std::filesystem::remove(file);
}
