// Read-result view: title, listing addresses from the frame memory offset, and the saved file.
#include "ToolTestSupport.h"

#include "tools/FrameMemoryDlg.h"
#include "tools/ReadResultDlg.h"
#include "res/Resources.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace testing_support;
using fw::test::Click;

namespace {

// Control and template IDs from the resources.
using res::IDD_READ_RESULT;
using namespace res::readresult;
const std::string kHeader = "    Addr  0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F\r\n";

struct Shown {
    std::string title, listing;
};

class ReadResultDlgTest : public DialogTest {
protected:
    // Opens the view on the bytes, runs the action inside it and returns what it showed.
    Shown Show(const std::vector<uint8_t> &bytes, uint32_t offset, int bank,
               const std::function<void(fw::Dialog &)> &action = {})
    {
        Shown shown;
        fw::test::WhenShown(IDD_READ_RESULT, [&](fw::Dialog &dlg) {
            shown.title = dlg.GetDlgItemText(IDC_TITLE);
            shown.listing = dlg.GetDlgItemText(IDC_LISTING);
            if (action)
                action(dlg);
            Click(dlg, fw::IDOK);
        });
        CReadResultDlg view;
        view.m_dwOffset = offset;
        view.m_dwSize = static_cast<uint32_t>(bytes.size());
        view.m_nBank = bank;
        view.m_pData = bytes.data();
        RunModal(view, "the read-result view");
        return shown;
    }
    static std::vector<uint8_t> Counting(size_t n)
    {
        std::vector<uint8_t> bytes(n);
        for (size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 1);
        return bytes;
    }
    static std::string Line(uint32_t address, const uint8_t *bytes, int n, bool full)
    {
        char text[16];
        std::snprintf(text, sizeof text, " %07X ", address);
        std::string line = text;
        for (int i = 0; i < n; ++i) {
            std::snprintf(text, sizeof text, "%02X ", bytes[i]);
            line += text;
        }
        return full ? line + "\r\n" : line;
    }
    std::filesystem::path TempPath(const char *name)
    {
        return std::filesystem::temp_directory_path() /
               (std::string("pelora_rr_") + std::to_string(::getpid()) + "_" + name);
    }
};

TEST_F(ReadResultDlgTest, TitleAndLineAddressesFollowTheOffset)
{
    const std::vector<uint8_t> four = {0x01, 0xAB, 0x00, 0xFF};
    Shown shown = Show(four, 0x10, 2);
    EXPECT_EQ(shown.title, "フレームメモリ Bank2");
    EXPECT_EQ(shown.listing, kHeader + " 0000010 01 AB 00 FF ");

    // Offsets are multiples of 4, not of 16: each line shows the offset of its first byte.
    const auto bytes = Counting(0x20);
    shown = Show(bytes, 0x4, 0);
    EXPECT_EQ(shown.title, "フレームメモリ Bank0");
    EXPECT_EQ(shown.listing, kHeader + Line(0x4, bytes.data(), 16, true) +
                                 Line(0x14, bytes.data() + 16, 16, true));
}

TEST_F(ReadResultDlgTest, FrameMemoryReadOpensTheViewOnTheBytesRead)
{
    const auto bytes = Counting(0x100);
    ASSERT_EQ(FrameMemoryWrite(board->handle(), 1, 0x2000, 0x100, bytes.data()), 0);
    Shown shown;
    CFrameMemoryDlg tool;
    tool.m_hBoard = board->handle();
    ASSERT_TRUE(tool.Create());
    fw::test::Type(tool, 1032, "1");
    fw::test::Type(tool, 1029, "2000");
    fw::test::Type(tool, 1031, "100");
    fw::test::WhenShown(IDD_READ_RESULT, [&](fw::Dialog &view) {
        shown.title = view.GetDlgItemText(IDC_TITLE);
        shown.listing = view.GetDlgItemText(IDC_LISTING);
        Click(view, fw::IDOK);
    });
    Click(tool, 1000);
    tool.DestroyWindow();

    EXPECT_EQ(shown.title, "フレームメモリ Bank1");
    std::string expected = kHeader;
    for (uint32_t n = 0; n < 16; ++n)
        expected += Line(0x2000 + 16 * n, bytes.data() + 16 * n, 16, true);
    EXPECT_EQ(shown.listing, expected);
}

TEST_F(ReadResultDlgTest, SaveWritesExactlyTheBytesRead)
{
    const auto bytes = Counting(0x400);
    const auto path = TempPath("save.dat");
    std::ofstream(path, std::ios::binary) << std::string(5000, 'x'); // replaced without a prompt
    sinks.files->push(path.string());
    sinks.files->push(std::nullopt); // a cancelled save does nothing
    sinks.files->push((TempPath("missing") / "dir" / "x.dat").string());
    sinks.files->push(std::string("/dev/full"));
    Show(bytes, 0x1000, 0, [&](fw::Dialog &dlg) {
        for (int i = 0; i < 4; ++i)
            Click(dlg, IDC_SAVE);
    });

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> saved{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(saved, bytes);
    std::filesystem::remove(path);

    ASSERT_EQ(sinks.files->requests().size(), 4u);
    const fw::FileDialogRequest &request = sinks.files->requests()[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.initialName, "フレームメモリ Bank0(Offset=0x00001000 Size=00000400).dat");

    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "SAVE終了しました。");
    EXPECT_EQ(boxes[0].icon, fw::MsgIcon::None);
    EXPECT_EQ(boxes[1].text, "ファイルのオープンに失敗しました。");
    EXPECT_EQ(boxes[1].icon, fw::MsgIcon::Stop);
    // A write that fails after the open never claims success.
    EXPECT_NE(boxes[2].text, "SAVE終了しました。");
    EXPECT_EQ(boxes[2].icon, fw::MsgIcon::Stop);
    for (const auto &box : boxes)
        EXPECT_EQ(box.caption, "ダンプデータSAVE");
}

} // namespace
