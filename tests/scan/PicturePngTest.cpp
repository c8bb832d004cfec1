// The scan tool's picture menu: entries greyed out until there is data, and "PNG形式で保存..."
// writing the full-resolution image (8-bit grey, 16-bit grey, the high 16 bits of 32-bit data),
// with every failure reported and never shown as success.
#include "PictureSupport.h"

#include "tools/PngFile.h"

#include <QImage>
#include <QTimer>

#include <cstring>
#include <filesystem>

using namespace scantest;

namespace {

std::filesystem::path TempPath(const std::string &name)
{
    return std::filesystem::temp_directory_path() / ("pelora_png_" + name);
}

} // namespace

TEST_F(PictureTest, EntriesAreGreyedOutUntilThereIsData)
{
    using Entries = std::vector<std::pair<std::string, bool>>;
    // The statistics always have the board's counters to show.
    const std::string stats = "転送統計...";
    EXPECT_EQ(MenuEntries(), (Entries{{kPngEntry, false}, {kInspectEntry, false}, {stats, true}}));
    EXPECT_FALSE(Choose(kPngEntry));
    EXPECT_FALSE(Choose(kInspectEntry));
    EXPECT_TRUE(sinks.files->requests().empty());

    Capture(64, 48, 0);
    EXPECT_EQ(MenuEntries(), (Entries{{kPngEntry, true}, {kInspectEntry, true}, {stats, true}}));
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}

// Geometries whose lines are padded to the 4-byte stride, at each pixel size: the file holds
// every delivered sample (16-bit exactly, 32-bit its high half), read back through QImage.
TEST_F(PictureTest, SavedPngsDecodeToTheDeliveredSamples)
{
    struct Case {
        int sizeIndex;
        std::uint32_t pixels, lines, pixelBytes;
        const char *name, *type;
        QImage::Format format;
    };
    const Case cases[] = {
        {0, 301, 203, 1, "Scan(301x203_8bit).png", "PNG 8bitグレー", QImage::Format_Grayscale8},
        {1, 257, 130, 2, "Scan(257x130_16bit).png", "PNG 16bitグレー", QImage::Format_Grayscale16},
        {2, 97, 61, 4, "Scan(97x61_32bit).png", "PNG 16bitグレー（32bitデータの上位16bit）",
         QImage::Format_Grayscale16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Capture(c.pixels, c.lines, c.sizeIndex);
        const std::vector<std::uint8_t> image = Image();
        const std::size_t stride = (std::size_t(c.pixels) * c.pixelBytes + 3) & ~std::size_t(3);
        ASSERT_EQ(image.size(), stride * c.lines);

        const std::filesystem::path file = TempPath(c.name);
        sinks.files->push(file.string());
        ASSERT_TRUE(Choose(kPngEntry));
        const fw::FileDialogRequest &request = sinks.files->requests().back();
        EXPECT_TRUE(request.save);
        EXPECT_EQ(request.initialName, c.name);
        EXPECT_EQ(request.filter.rfind(std::string(c.type) + " (*.png)|*.png", 0), 0u)
            << request.filter;
        ASSERT_EQ(sinks.boxes->boxes().back().text, "PNG形式で保存しました。");
        EXPECT_EQ(sinks.boxes->boxes().back().caption, pngfile::kCaption);

        QImage png(QString::fromStdString(file.string()), "png");
        ASSERT_FALSE(png.isNull());
        EXPECT_EQ(png.format(), c.format);
        ASSERT_EQ(png.width(), int(c.pixels));
        ASSERT_EQ(png.height(), int(c.lines));
        int mismatches = 0;
        for (std::uint32_t y = 0; y < c.lines; ++y)
            for (std::uint32_t x = 0; x < c.pixels; ++x) {
                const std::uint32_t raw = SampleAt(image, y * stride + x * c.pixelBytes, c.pixelBytes);
                const std::uint32_t expected = c.pixelBytes == 4 ? raw >> 16 : raw;
                const std::uint32_t got =
                    c.pixelBytes == 1 ? png.constScanLine(int(y))[x]
                                      : reinterpret_cast<const quint16 *>(png.constScanLine(int(y)))[x];
                if (got != expected && mismatches++ < 5)
                    ADD_FAILURE() << "pixel " << x << ", line " << y << ": " << got << " != " << expected;
            }
        EXPECT_EQ(mismatches, 0);
        std::filesystem::remove(file);
        StopScan();
    }
}

TEST_F(PictureTest, AFailedPngWriteShowsAFailureBox)
{
    Capture(64, 48, 0);
    sinks.files->push(std::nullopt);                                     // cancelled: silent
    sinks.files->push((TempPath("missing") / "x.png").string());         // cannot be opened
    sinks.files->push(std::string("/dev/full"));                         // the write fails
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Choose(kPngEntry));
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "ファイルのオープンに失敗しました。");
    EXPECT_EQ(boxes[1].text, "ファイルの書き込みに失敗しました。");
    for (const auto &box : boxes) {
        EXPECT_EQ(box.icon, fw::MsgIcon::Stop);
        EXPECT_EQ(box.caption, pngfile::kCaption);
        EXPECT_EQ(box.owner, scan.GetSafeHwnd());
    }
}

// The save's file dialog and its box are nested event loops: the hook goes on delivering into
// the image meanwhile (it takes the image lock), and the file holds the frame as it was when
// the entry was chosen.
TEST_F(PictureTest, TheScanGoesOnWhileTheSaveAsks)
{
    Capture(128, 64, 0);
    const std::vector<std::uint8_t> before = Image();
    const std::filesystem::path file = TempPath("during.png");
    sinks.files->push(file.string());
    sinks.boxes->setHold(true);
    Watchdog watchdog("deliveries while the PNG save's box is up (a lock held across the box)");
    std::vector<std::uint8_t> during;
    QTimer whileHeld; // once the closing box is up: three more frames, then the answer
    whileHeld.setInterval(10);
    QObject::connect(&whileHeld, &QTimer::timeout, [&] {
        if (sinks.boxes->heldCount() == 0)
            return;
        whileHeld.stop();
        Step(3);
        during = Image();
        sinks.boxes->releaseAll();
    });
    whileHeld.start();
    ASSERT_TRUE(Choose(kPngEntry));
    sinks.boxes->setHold(false);
    EXPECT_EQ(during.size(), before.size());
    EXPECT_NE(during, before) << "no frame arrived while the box was up";
    QImage png(QString::fromStdString(file.string()), "png");
    ASSERT_EQ(png.width(), 128);
    EXPECT_EQ(0, std::memcmp(png.constScanLine(10), before.data() + 10 * 128, 128));
    std::filesystem::remove(file);
}
