// The hex listing layout and the dump view on captured scan data: ranges, layout, saving.
#include "ScanToolFixture.h"

#include "tools/DumpViewDlg.h"
#include "tools/HexListing.h"
#include "tools/ListingView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace scantest;
using testing::StartsWith;
namespace dv = res::dumpview;

TEST(HexListing, Layout)
{
    std::vector<std::uint8_t> bytes(0x40);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = std::uint8_t(0xA0 + i);
    using hexlisting::LineStart;
    const std::string header(hexlisting::kHeader);
    EXPECT_EQ(header.size(), 58u);

    // Four bytes at 0x10: one short line without CR LF.
    EXPECT_EQ(hexlisting::ListingText(bytes.data(), 4, 0x10, LineStart::FirstByte),
              header + " 0000010 A0 A1 A2 A3 ");
    // Exactly 0x20 bytes: two full lines of 59 characters with CR LF.
    const std::string two = hexlisting::ListingData(bytes.data(), 0x20, 0x1004, LineStart::FirstByte);
    EXPECT_EQ(two.size(), 2u * 59u);
    EXPECT_THAT(two, StartsWith(" 0001004 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF \r\n 0001014 B0"));
    // By address from 8: a first line of 8 bytes without address field.
    EXPECT_EQ(hexlisting::ListingData(bytes.data() + 8, 0x18, 8, LineStart::Address),
              "A8 A9 AA AB AC AD AE AF \r\n"
              " 0000010 B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF \r\n");
}

class DumpViewTest : public ScanToolTest {
protected:
    // A captured 8-bit frame of 0x4B000 bytes (640 x 480), then a successful stop.
    void Capture()
    {
        Type(IDC_LINES_PER_FRAME, "480");
        Type(IDC_PIXELS_PER_LINE, "640");
        ASSERT_TRUE(Click(IDC_START));
        Step(1);
        SimInjectResult(SIM_OP_ScanCancel, 0, 1);
        ASSERT_TRUE(Click(IDC_FRAME_STOP));
        ASSERT_TRUE(scan.IsDlgItemEnabled(IDC_DUMP_VIEW));
    }
    // Opens the dump view and runs action inside its modal run.
    void InDumpView(std::function<void(fw::Dialog &)> action)
    {
        bool ran = false;
        fw::test::WhenShown(res::IDD_DUMP_VIEW, [&](fw::Dialog &dump) {
            action(dump);
            ran = true;
            fw::test::PressEscape(dump);
        });
        ASSERT_TRUE(Click(IDC_DUMP_VIEW));
        EXPECT_TRUE(ran);
    }
    std::vector<std::uint8_t> Image()
    {
        std::vector<std::uint8_t> copy;
        scan.Image().Read([&](const std::uint8_t *d, std::uint32_t n) { copy.assign(d, d + n); });
        return copy;
    }
};

TEST_F(DumpViewTest, RangesAndListing)
{
    Capture();
    const std::vector<std::uint8_t> image = Image();
    ASSERT_EQ(image.size(), 0x4B000u);
    InDumpView([&](fw::Dialog &dump) {
        EXPECT_EQ(dump.GetDlgItemText(dv::IDC_DATA_SIZE), "4b000");
        EXPECT_EQ(dump.GetDlgItemText(dv::IDC_START_OFFSET), "0");
        EXPECT_EQ(dump.GetDlgItemText(dv::IDC_END_OFFSET), "400");
        EXPECT_EQ(dump.GetDlgItemText(dv::IDC_LISTING), "");

        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        std::string listing = dump.GetDlgItemText(dv::IDC_LISTING);
        EXPECT_EQ(listing.size(), 58u + 64u * 59u);
        EXPECT_EQ(listing, hexlisting::ListingText(image.data(), 0x400, 0, hexlisting::LineStart::Address));
        EXPECT_NE(listing.find(" 00003F0 "), std::string::npos);

        fw::test::Type(dump, dv::IDC_END_OFFSET, "4B001");
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        EXPECT_EQ(sinks.boxes->boxes().back().text, "オフセット指定がデータサイズを越えました。");
        EXPECT_EQ(dump.GetDlgItemText(dv::IDC_LISTING), listing); // unchanged
        fw::test::Type(dump, dv::IDC_START_OFFSET, "10");
        fw::test::Type(dump, dv::IDC_END_OFFSET, "10");
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        EXPECT_EQ(sinks.boxes->boxes().back().text, "開始オフセットが不正な値です。");
        EXPECT_EQ(sinks.boxes->boxes().back().icon, fw::MsgIcon::Stop);

        fw::test::Type(dump, dv::IDC_START_OFFSET, "4AFFF");
        fw::test::Type(dump, dv::IDC_END_OFFSET, "4B000"); // the end itself is accepted
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        EXPECT_EQ(sinks.boxes->count(), 2u);

        fw::test::Type(dump, dv::IDC_START_OFFSET, "8");
        fw::test::Type(dump, dv::IDC_END_OFFSET, "20");
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        listing = dump.GetDlgItemText(dv::IDC_LISTING);
        const std::string body = listing.substr(hexlisting::kHeader.size());
        EXPECT_EQ(body.substr(0, 26), hexlisting::ListingData(image.data() + 8, 8, 8, hexlisting::LineStart::Address));
        EXPECT_EQ(body.substr(26, 9), " 0000010 ");
    });
}

TEST_F(DumpViewTest, LongListingIsExactAndCopiesWhole)
{
    Capture();
    const std::vector<std::uint8_t> image = Image();
    ASSERT_EQ(image.size(), 0x4B000u);
    InDumpView([&](fw::Dialog &dlg) {
        auto &dump = static_cast<CDumpViewDlg &>(dlg);
        fw::test::Type(dump, dv::IDC_START_OFFSET, "3");
        fw::test::Type(dump, dv::IDC_END_OFFSET, "4B000"); // beyond what the edit takes
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        const std::string expected =
            hexlisting::ListingText(image.data() + 3, 0x4B000 - 3, 3, hexlisting::LineStart::Address);
        EXPECT_TRUE(dump.ListingText() == expected);
        EXPECT_FALSE(dump.IsDlgItemVisible(dv::IDC_LISTING));
        // Select all and copy: exactly the listing.
        ListingView *view = dump.widget()->findChild<ListingView *>();
        ASSERT_NE(view, nullptr);
        QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
        QApplication::sendEvent(view, &selectAll);
        QApplication::sendEvent(view, &copy);
        EXPECT_TRUE(view->allSelected());
        EXPECT_TRUE(view->selectedText() == expected); // what the copy puts on the clipboard
        // A short range goes back into the edit.
        fw::test::Type(dump, dv::IDC_END_OFFSET, "40");
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        EXPECT_TRUE(dump.IsDlgItemVisible(dv::IDC_LISTING));
        EXPECT_EQ(dump.ListingText(), hexlisting::ListingText(image.data() + 3, 0x3D, 3,
                                                              hexlisting::LineStart::Address));
    });
}

TEST_F(DumpViewTest, SaveWritesTheWholeImage)
{
    Capture();
    const std::vector<std::uint8_t> image = Image();
    ASSERT_EQ(image.size(), 0x4B000u);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pelora_dump_test";
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "dump.dat";
    {
        std::ofstream old(file);
        old << "old contents that are longer than nothing";
    }
    sinks.files->push(file.string());
    sinks.files->push(std::nullopt);                              // cancelled: silent
    sinks.files->push((dir / "missing" / "x.dat").string());      // cannot be opened
    sinks.files->push(std::string("/dev/full"));                  // opened, but the write fails
    InDumpView([&](fw::Dialog &dump) {
        fw::test::Type(dump, dv::IDC_END_OFFSET, "10"); // the listing range does not matter
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SAVE));
    });
    const auto &requests = sinks.files->requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].initialName, "Dump(Size=0004B000).dat");
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> saved{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(saved, image);

    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "SAVE終了しました。");
    EXPECT_EQ(boxes[0].icon, fw::MsgIcon::None);
    EXPECT_EQ(boxes[1].text, "ファイルのオープンに失敗しました。");
    EXPECT_EQ(boxes[2].text, "ファイルの書き込みに失敗しました。");
    for (const auto &box : boxes)
        EXPECT_EQ(box.caption, "ダンプデータSAVE");
    std::filesystem::remove_all(dir);
}

TEST_F(DumpViewTest, NoDataToShowOrSave)
{
    // Before any delivery the image holds no valid bytes.
    SimInjectResult(SIM_OP_ScanCancel, 0, 1);
    ASSERT_TRUE(Click(IDC_FRAME_STOP));
    InDumpView([&](fw::Dialog &dump) {
        EXPECT_EQ(dump.GetDlgItemText(dv::IDC_DATA_SIZE), "0");
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SAVE));
    });
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "表示するデータがありません。");
    EXPECT_EQ(boxes[1].text, "保存するデータがありません。");
    EXPECT_EQ(boxes[1].caption, "ダンプデータSAVE");
    EXPECT_TRUE(sinks.files->requests().empty());
}

// The view's boxes and its save run nested event loops. While one is up the scan tool must go
// on working: its Start, its close and the picture refresh all take the tool's image lock, which
// the view must not be holding then.
TEST_F(DumpViewTest, TheScanToolWorksWhileTheViewsBoxIsUp)
{
    Capture();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "pelora_dump_box_test.dat";
    sinks.files->push(file.string());
    sinks.boxes->setHold(true);
    Watchdog watchdog("the scan tool while the dump view's box is up (a lock held across the box)");
    InDumpView([&](fw::Dialog &dump) {
        // Owned by the scan tool, and modal to it: the tool takes no input meanwhile.
        EXPECT_EQ(dump.widget()->parentWidget(), scan.widget());
        EXPECT_EQ(dump.widget()->windowModality(), Qt::WindowModal);

        // An end offset past the data: its box is up while the tool is used.
        fw::test::Type(dump, dv::IDC_END_OFFSET, "FFFFFFFF");
        bool started = false;
        fw::PostToUi([&] {
            started = Click(IDC_START); // takes the image lock
            sinks.boxes->releaseAll();
        });
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SHOW));
        EXPECT_TRUE(started);

        // The save's closing box: the tool's image is read while it is up.
        std::uint32_t size = 0;
        fw::PostToUi([&] {
            size = scan.CopyImage(0, 0).size;
            sinks.boxes->releaseAll();
        });
        ASSERT_TRUE(fw::test::Click(dump, dv::IDC_SAVE));
        EXPECT_EQ(size, 0x4B000u);
    });
    sinks.boxes->setHold(false);
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "オフセット指定がデータサイズを越えました。");
    EXPECT_EQ(boxes[1].text, "SAVE終了しました。");
    // What was saved is the data as it stood when the save began.
    EXPECT_EQ(std::filesystem::file_size(file), 0x4B000u);
    std::filesystem::remove(file);
}
