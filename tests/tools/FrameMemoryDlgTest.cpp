// Frame memory tool: the parameter checks, fill-write and the four-bank compare with its log.
#include "ToolTestSupport.h"

#include "tools/FrameMemoryDlg.h"
#include "res/Resources.h"

#include <array>

using namespace testing_support;
using fw::test::Click;
using fw::test::Type;

namespace {

// Control and template IDs from the resources.
using res::IDD_READ_RESULT;
using namespace res::framemem;

const std::string kStart = "Cmp Check開始\r\n";
const std::string kEnd = "Cmp Check終了\r\n";

class FrameMemoryDlgTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        CFrameMemoryDlg::SetComparePauseMs(0); // the program's 10 ms pauses add 27 s per compare
    }
    void TearDown() override
    {
        CFrameMemoryDlg::SetComparePauseMs(10);
        DialogTest::TearDown();
    }
    // Opens the tool, runs the action on it, then closes it. The window is created modeless so
    // the read-result view it opens runs its modal loop straight from the test, as it would
    // from the main menu's.
    void Run(const std::function<void(fw::Dialog &)> &action)
    {
        CFrameMemoryDlg dlg;
        dlg.m_hBoard = board->handle();
        ASSERT_TRUE(dlg.Create());
        action(dlg);
        Watchdog watchdog("the frame memory tool's window to go");
        dlg.DestroyWindow();
    }
    static void SetRange(fw::Dialog &dlg, const char *bank, const char *offset, const char *size)
    {
        Type(dlg, IDC_BANK, bank);
        Type(dlg, IDC_OFFSET, offset);
        Type(dlg, IDC_SIZE, size);
    }
    std::vector<uint8_t> ReadBoard(uint32_t bank, uint32_t offset, uint32_t count)
    {
        std::vector<uint8_t> bytes(count);
        EXPECT_EQ(FrameMemoryRead(board->handle(), bank, offset, count, bytes.data()), 0);
        return bytes;
    }
};

TEST_F(FrameMemoryDlgTest, ParameterChecksInOrder)
{
    struct Case {
        const char *bank, *offset, *size;
        const char *readMessage; // nullptr: accepted
        const char *writeMessage;
    };
    const char *bankMsg = "Bank番号が不正です（有効範囲 0-3 ）。";
    const char *offsetMsg = "Offsetは4byteバウンダリで指定してください。";
    const char *zeroMsg = "サイズが０です。";
    const char *unitMsg = "Sizeは4byte単位で指定してください。";
    const char *readRange =
        "指定したオフセットとサイズではターゲットアクセスのフレームメモリ領域を超えてしまいます。";
    const char *writeRange = "指定したオフセットとサイズではフレームメモリ領域を超えてしまいます。";
    const Case cases[] = {
        {"4", "0", "4", bankMsg, bankMsg},
        {"3", "0", "4", nullptr, nullptr},
        {"0", "2", "0", offsetMsg, offsetMsg},
        {"", "", "", zeroMsg, zeroMsg},
        {"0", "0", "6", unitMsg, unitMsg},
        {"0", "0", "100004", "リード可能サイズはMAX 1MBです。", "ライト可能サイズはMAX 1MBです。"},
        {"0", "0", "100000", nullptr, nullptr},
        {"1", "1FFFFFC", "4", nullptr, nullptr},
        {"1", "1FFFFFC", "8", readRange, writeRange},
        {"2", "FFFFFFFC", "4", readRange, writeRange},
    };
    Run([&](fw::Dialog &dlg) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.bank) + "/" + c.offset + "/" + c.size);
            SetRange(dlg, c.bank, c.offset, c.size);
            for (const bool read : {true, false}) {
                sinks.boxes->clear();
                SimJournalClear();
                bool viewOpened = false;
                fw::test::WhenShown(IDD_READ_RESULT, [&](fw::Dialog &view) {
                    viewOpened = true;
                    fw::test::PressEnter(view);
                });
                Click(dlg, read ? IDC_READ : IDC_WRITE);
                fw::test::ClearWhenShown();
                const char *message = read ? c.readMessage : c.writeMessage;
                const int op = read ? SIM_OP_FrameMemoryRead : SIM_OP_FrameMemoryWrite;
                if (message == nullptr) {
                    EXPECT_TRUE(sinks.boxes->boxes().empty());
                    EXPECT_EQ(JournalOf(op).size(), 1u);
                    EXPECT_EQ(viewOpened, read);
                    continue;
                }
                EXPECT_TRUE(JournalOf(op).empty());
                EXPECT_FALSE(viewOpened);
                ASSERT_EQ(sinks.boxes->count(), 1u);
                const auto box = sinks.boxes->boxes()[0];
                EXPECT_EQ(box.text, message);
                EXPECT_EQ(box.caption, read ? "フレームメモリリード パラメータエラー"
                                            : "フレームメモリライト パラメータエラー");
                EXPECT_EQ(box.icon, fw::MsgIcon::Stop);
            }
        }
    });
}

TEST_F(FrameMemoryDlgTest, FillWriteAndBoardFailures)
{
    Run([&](fw::Dialog &dlg) {
        SetRange(dlg, "1", "10", "8");
        Type(dlg, IDC_FILL, "A5");
        Click(dlg, IDC_WRITE);
        std::vector<uint8_t> expected(0x20, 0);
        std::fill(expected.begin() + 0x10, expected.begin() + 0x18, 0xA5);
        EXPECT_EQ(ReadBoard(1, 0, 0x20), expected);

        Type(dlg, IDC_FILL, ""); // an empty fill field writes zeros
        Click(dlg, IDC_WRITE);
        EXPECT_EQ(ReadBoard(1, 0, 0x20), std::vector<uint8_t>(0x20, 0));
        EXPECT_TRUE(sinks.boxes->boxes().empty());

        SimInjectResult(SIM_OP_FrameMemoryWrite, 6, 1);
        Click(dlg, IDC_WRITE);
        SimInjectResult(SIM_OP_FrameMemoryRead, 6, 1);
        bool viewOpened = false;
        fw::test::WhenShown(IDD_READ_RESULT, [&](fw::Dialog &view) {
            viewOpened = true;
            fw::test::PressEnter(view);
        });
        Click(dlg, IDC_READ);
        fw::test::ClearWhenShown();
        EXPECT_FALSE(viewOpened);
    });
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "フレームメモリライトが失敗しました。");
    EXPECT_EQ(boxes[1].text, "フレームメモリリードが失敗しました。");
    for (const auto &box : boxes) {
        EXPECT_EQ(box.caption, fw::AppTitle());
        EXPECT_EQ(box.icon, fw::MsgIcon::None);
    }
}

TEST_F(FrameMemoryDlgTest, CleanCompareWrapsFillValuePerBank)
{
    std::string log;
    Run([&](fw::Dialog &dlg) {
        SetRange(dlg, "7", "3", "0"); // not used by the compare
        Type(dlg, IDC_FILL, "FE");
        Click(dlg, IDC_COMPARE);
        log = dlg.GetDlgItemText(IDC_LOG);
    });
    EXPECT_EQ(log, kStart + kEnd);
    EXPECT_TRUE(sinks.boxes->boxes().empty());
    const std::array<uint8_t, 4> fills{0xFE, 0xFF, 0x00, 0x01};
    for (uint32_t bank = 0; bank < 4; ++bank) {
        EXPECT_EQ(ReadBoard(bank, 0, 4), std::vector<uint8_t>(4, fills[bank])) << bank;
        EXPECT_EQ(ReadBoard(bank, 0x1FFFFFC, 4), std::vector<uint8_t>(4, fills[bank])) << bank;
    }
    // 32 one-megabyte writes per bank, then 32 reads per bank, in bank and offset order.
    const auto writes = JournalOf(SIM_OP_FrameMemoryWrite);
    const auto reads = JournalOf(SIM_OP_FrameMemoryRead);
    ASSERT_EQ(writes.size(), 128u);
    ASSERT_GE(reads.size(), 128u);
    for (uint32_t n = 0; n < 128; ++n) {
        EXPECT_EQ(writes[n].args[0], n / 32);
        EXPECT_EQ(writes[n].args[1], (n % 32) * 0x100000u);
        EXPECT_EQ(writes[n].args[2], 0x100000u);
        EXPECT_EQ(reads[n].args[0], n / 32);
        EXPECT_EQ(reads[n].args[1], (n % 32) * 0x100000u);
    }
    EXPECT_LT(writes.back().timeNs, reads.front().timeNs);
}

TEST_F(FrameMemoryDlgTest, CompareRecordsPlantedFaultsAndStopsOnFailures)
{
    SimPlantFrameByte(2, 0x123456, 0x00);
    std::string faultLog, writeFailLog, readFailLog;
    Run([&](fw::Dialog &dlg) {
        Type(dlg, IDC_FILL, "55");
        Click(dlg, IDC_COMPARE);
        faultLog = dlg.GetDlgItemText(IDC_LOG);

        SimJournalClear();
        SimInjectResultAt(SIM_OP_FrameMemoryWrite, 1, 4, 1);
        Click(dlg, IDC_COMPARE);
        writeFailLog = dlg.GetDlgItemText(IDC_LOG);
        EXPECT_TRUE(JournalOf(SIM_OP_FrameMemoryRead).empty());
        EXPECT_EQ(JournalOf(SIM_OP_FrameMemoryWrite).size(), 33u); // bank 0, then bank 1's first

        SimJournalClear();
        SimInjectResultAt(SIM_OP_FrameMemoryRead, 2, 4, 1);
        Click(dlg, IDC_COMPARE);
        readFailLog = dlg.GetDlgItemText(IDC_LOG);
        EXPECT_EQ(JournalOf(SIM_OP_FrameMemoryRead).size(), 65u);
    });
    EXPECT_EQ(faultLog, kStart +
                            "● Cmp Error Detect!\r\n"
                            "   BankNo = 2  Offset = 00123456H\r\n"
                            "   正常値：57H Read値：00H\r\n" +
                            kEnd);
    // A failure keeps the start line and what was found so far, and adds no end line.
    EXPECT_EQ(writeFailLog, kStart);
    EXPECT_EQ(readFailLog, kStart);
    EXPECT_EQ(tools_test::BoxTexts(*sinks.boxes),
              (std::vector<std::string>{"フレームメモリライトが失敗しました。",
                                        "フレームメモリリードが失敗しました。"}));
}

TEST_F(FrameMemoryDlgTest, CompareCountsRecordsBeyondTheCap)
{
    const uint32_t planted = CFrameMemoryDlg::kMaxRecordsPerBank + 5;
    for (uint32_t i = 0; i < planted; ++i)
        SimPlantFrameByte(3, 0x400000 + 2 * i, 0x11);
    SimPlantFrameByte(0, 0x1FFFFFF, 0x22);
    std::string log;
    Run([&](fw::Dialog &dlg) {
        Click(dlg, IDC_COMPARE);
        log = dlg.GetDlgItemText(IDC_LOG);
    });
    size_t records = 0;
    for (size_t at = log.find("● Cmp Error Detect!"); at != std::string::npos;
         at = log.find("● Cmp Error Detect!", at + 1))
        ++records;
    EXPECT_EQ(records, CFrameMemoryDlg::kMaxRecordsPerBank + 1);
    EXPECT_NE(log.find("   BankNo = 0  Offset = 01FFFFFFH\r\n   正常値：00H Read値：22H\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("   BankNo = 3  Offset = 00400000H\r\n"), std::string::npos);
    const std::string omitted = "● BankNo = 3  記録を省略したエラー = 5件\r\n" + kEnd;
    ASSERT_GE(log.size(), omitted.size());
    EXPECT_EQ(log.substr(log.size() - omitted.size()), omitted);
}

} // namespace
