// Register tool through its window on the simulated board.
#include "ToolTestSupport.h"

#include "tools/RegisterDlg.h"
#include "res/Resources.h"

using namespace testing_support;
using fw::test::Click;
using fw::test::Type;

namespace {

// Control and template IDs from the resources.
using namespace res::reg;
constexpr const char *kOutOfRange = "オフセットが範囲を越えています。";

class RegisterDlgTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        tool.m_hBoard = board->handle();
        tool.m_hMenuWnd = menu.GetSafeHwnd();
        ASSERT_TRUE(tool.Create());
    }
    void TearDown() override
    {
        {
            Watchdog watchdog("the register tool's wind-down after the test");
            tool.WindDown();
        }
        DialogTest::TearDown();
    }
    // Reads at the offset and tells whether the board was called.
    bool ReadReachesBoard(const char *offset, int op)
    {
        SimJournalClear();
        Type(tool, IDC_OFFSET, offset);
        Click(tool, IDC_READ);
        return JournalOf(op).size() == 1;
    }

    tools_test::MenuProbe menu;
    CRegisterDlg tool;
};

TEST_F(RegisterDlgTest, ReadWindowLimitsPerWidth)
{
    EXPECT_TRUE(tool.IsDlgButtonChecked(IDC_ULONG));
    EXPECT_TRUE(ReadReachesBoard("11C", SIM_OP_IoReadLong));
    EXPECT_TRUE(sinks.boxes->boxes().empty());
    EXPECT_FALSE(ReadReachesBoard("11D", SIM_OP_IoReadLong));
    ASSERT_EQ(sinks.boxes->count(), 1u);
    const auto box = sinks.boxes->boxes()[0];
    EXPECT_EQ(box.text, kOutOfRange);
    EXPECT_EQ(box.caption, "I/O Map I/Oエラー");
    EXPECT_EQ(box.icon, fw::MsgIcon::Stop);

    tool.CheckRadioButton(IDC_ULONG, IDC_USHORT, IDC_USHORT);
    sinks.boxes->clear();
    EXPECT_TRUE(ReadReachesBoard("11E", SIM_OP_IoReadShort));
    EXPECT_TRUE(ReadReachesBoard("11D", SIM_OP_IoReadShort)); // odd offsets are fine
    EXPECT_TRUE(sinks.boxes->boxes().empty());
    EXPECT_FALSE(ReadReachesBoard("11F", SIM_OP_IoReadShort));
    EXPECT_EQ(tools_test::BoxTexts(*sinks.boxes), std::vector<std::string>{kOutOfRange});

    // An empty offset field is offset 0.
    EXPECT_TRUE(ReadReachesBoard("", SIM_OP_IoReadShort));
    EXPECT_EQ(JournalOf(SIM_OP_IoReadShort)[0].args[0], 0u);
}

TEST_F(RegisterDlgTest, ReadFormatsAndFailures)
{
    ASSERT_EQ(IoWriteLong(board->handle(), 0x44, 0x1234), 0);
    Type(tool, IDC_OFFSET, "44");
    Click(tool, IDC_READ);
    EXPECT_EQ(tool.GetDlgItemText(IDC_DATA), "00001234");

    ASSERT_EQ(IoWriteShort(board->handle(), 0x88, 0xBEEF), 0);
    tool.CheckRadioButton(IDC_ULONG, IDC_USHORT, IDC_USHORT);
    Type(tool, IDC_OFFSET, "88");
    Click(tool, IDC_READ);
    EXPECT_EQ(tool.GetDlgItemText(IDC_DATA), "BEEF");

    // A failing read shows a plain box and leaves the data field alone.
    SimInjectResult(SIM_OP_IoReadShort, 5, 1);
    Click(tool, IDC_READ);
    ASSERT_EQ(sinks.boxes->count(), 1u);
    EXPECT_EQ(sinks.boxes->boxes()[0].text, "レジスタリードが失敗しました。");
    EXPECT_EQ(sinks.boxes->boxes()[0].caption, fw::AppTitle());
    EXPECT_EQ(sinks.boxes->boxes()[0].icon, fw::MsgIcon::None);
    EXPECT_EQ(tool.GetDlgItemText(IDC_DATA), "BEEF");

    SimInjectResult(SIM_OP_IoReadLong, 7, 1);
    tool.CheckRadioButton(IDC_ULONG, IDC_USHORT, IDC_ULONG);
    Click(tool, IDC_READ);
    EXPECT_EQ(sinks.boxes->count(), 2u);
    EXPECT_EQ(tool.GetDlgItemText(IDC_DATA), "BEEF");
}

TEST_F(RegisterDlgTest, WritesPassValuesAsParsed)
{
    tool.CheckRadioButton(IDC_ULONG, IDC_USHORT, IDC_USHORT);
    Type(tool, IDC_OFFSET, "20");
    Type(tool, IDC_DATA, "12345");
    Click(tool, IDC_WRITE);
    auto calls = JournalOf(SIM_OP_IoWriteShort);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args[0], 0x20u);
    EXPECT_EQ(calls[0].args[1], 0x12345u);
    EXPECT_EQ(tools_test::BoxTexts(*sinks.boxes),
              std::vector<std::string>{"レジスタライトが完了しました。"});
    EXPECT_EQ(sinks.boxes->boxes()[0].icon, fw::MsgIcon::None);

    tool.CheckRadioButton(IDC_ULONG, IDC_USHORT, IDC_ULONG);
    Type(tool, IDC_DATA, "89ABCDEF");
    SimInjectResult(SIM_OP_IoWriteLong, 9, 1);
    Click(tool, IDC_WRITE);
    calls = JournalOf(SIM_OP_IoWriteLong);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args[1], 0x89ABCDEFu);
    EXPECT_EQ(sinks.boxes->boxes().back().text, "レジスタライトが失敗しました。");

    // Outside the window a write is refused like a read, before the board is called.
    SimJournalClear();
    Type(tool, IDC_OFFSET, "11D");
    Click(tool, IDC_WRITE);
    EXPECT_TRUE(JournalOf(SIM_OP_IoWriteLong).empty());
    EXPECT_EQ(sinks.boxes->boxes().back().text, kOutOfRange);
}

TEST_F(RegisterDlgTest, ClosingNotifiesMenuAndReopensFresh)
{
    tool.CheckRadioButton(IDC_ULONG, IDC_USHORT, IDC_USHORT);
    Type(tool, IDC_OFFSET, "10");
    Type(tool, IDC_DATA, "FFFF");
    Click(tool, fw::IDOK);
    EXPECT_FALSE(tool.IsWindow());
    ASSERT_TRUE(fw::test::WaitUntil([&] { return !menu.closed.empty(); }));
    EXPECT_EQ(menu.closed, std::vector<unsigned>{TOOL_REGISTER});

    ASSERT_TRUE(tool.Create());
    EXPECT_TRUE(tool.IsDlgButtonChecked(IDC_ULONG));
    EXPECT_FALSE(tool.IsDlgButtonChecked(IDC_USHORT));
    EXPECT_EQ(tool.GetDlgItemText(IDC_OFFSET), "");
    EXPECT_EQ(tool.GetDlgItemText(IDC_DATA), "");

    // Esc closes the tool completely too.
    fw::test::PressEscape(tool);
    EXPECT_FALSE(tool.IsWindow());
    ASSERT_TRUE(fw::test::WaitUntil([&] { return menu.closed.size() == 2; }));
    EXPECT_EQ(menu.closed[1], TOOL_REGISTER);

    tool.WindDown(); // nothing open: nothing posted
    fw::test::WaitUntil([] { return false; }, 50);
    EXPECT_EQ(menu.closed.size(), 2u);
}

} // namespace
