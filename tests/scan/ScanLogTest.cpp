// The transfer log's hand-over and its bound: a backlog is inserted slice by slice, in order and
// whole lines at a time, and a log at its maximum drops further text and says so once.
#include "ScanToolFixture.h"

#include "scan/ScanMailbox.h"

#include <thread>

using namespace scantest;

namespace {

std::string Lines(int count, char tag)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(1, tag) + std::to_string(i) + "  <-- Hook関数Call  ラインスキャン完了\r\n";
    return text;
}

TEST(ScanMailboxTest, SlicesAndRoom)
{
    ScanMailbox mailbox;
    mailbox.Open([] {}, [] {});
    const std::string posted = Lines(4000, 'a') + "末尾の行";
    std::thread([&] { mailbox.Post(posted); }).join(); // as the hook posts
    std::string taken;
    int slices = 0;
    for (ScanMailbox::Mail mail;; ++slices) {
        mail = mailbox.TakeMail(ScanMailbox::kSliceBytes);
        EXPECT_LE(mail.log.size(), ScanMailbox::kSliceBytes);
        taken += mail.log;
        if (!mail.more)
            break;
        EXPECT_EQ(mail.log.back(), '\n') << "a slice ended inside a line";
    }
    EXPECT_EQ(taken, posted);
    EXPECT_GE(slices, 2);

    // Room for 100 characters (an ASCII byte is one, a Japanese character of three bytes one):
    // what fits is kept, the rest dropped and reported once.
    mailbox.StartOver(100);
    const struct {
        std::size_t bytes;
        std::size_t kept;
        bool full;
    } posts[] = {{60, 60, false}, {60, 0, true}, {30, 30, false}, {11, 0, true}};
    for (const auto &p : posts) {
        std::thread([&] { mailbox.Post(std::string(p.bytes, 'x')); }).join();
        const ScanMailbox::Mail mail = mailbox.TakeMail();
        EXPECT_EQ(mail.log.size(), p.kept);
        EXPECT_EQ(mail.logFull, p.full);
    }
    std::thread([&] { mailbox.Post("完了完了完了完了完了"); }).join(); // ten characters, 30 bytes
    EXPECT_EQ(mailbox.TakeMail().log, "完了完了完了完了完了");
    std::thread([&] { mailbox.Post("x"); }).join();
    EXPECT_TRUE(mailbox.TakeMail().logFull);
    mailbox.Close();
}

// A line-unit scan into a log limited to a few kilobytes: it fills up, says so once, and stays
// within its limit while deliveries go on.
TEST_F(ScanToolTest, AFullLogSaysSoOnceAndKeepsItsLimit)
{
    constexpr int kLimit = 3000;
    scan.EditLimitText(IDC_LOG, kLimit);
    fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
    Type(IDC_LINES_PER_FRAME, "64");
    Type(IDC_PIXELS_PER_LINE, "64");
    Type(IDC_LINE_INT_INTERVAL, "1");
    Type(IDC_START_COUNT, "0");
    ASSERT_TRUE(Click(IDC_START));
    Step(60);
    Step(60);
    const std::string log = Log();
    const std::string note = "★ ログが上限に達したため、これ以降の記録は省略します。";
    const std::size_t at = log.find(note);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(note, at + 1), std::string::npos) << "said more than once";
    EXPECT_LE(scan.EditGetLength(IDC_LOG), kLimit);
    EXPECT_EQ(scan.GetDlgItemText(IDC_HOOK_CALLS), "120") << "the hook stopped counting";
    ASSERT_TRUE(Click(IDC_FRAME_STOP));
}

} // namespace
