// The open, registers and DSP checks on the simulated board, in this process: what passes on a
// healthy board, what each fault makes fail and with which words, and the exit statuses.
#include "CheckFixture.h"

#include "board/pel2ctl.h"
#include "simctl.h"

#include <set>

namespace checktest {
namespace {

class BoardChecksTest : public CheckTest {};

std::set<uint32_t> WrittenOffsets()
{
    std::set<uint32_t> offsets;
    SimCall c;
    for (size_t i = 0; i < SimJournalCount(); ++i)
        if (SimJournalEntry(i, &c) == 0 && (c.op == SIM_OP_IoWriteLong || c.op == SIM_OP_IoWriteShort))
            offsets.insert(static_cast<uint32_t>(c.args[0]));
    return offsets;
}

TEST_F(BoardChecksTest, HealthyBoardPassesOpenAndRegistersWithoutWritingAnything)
{
    const Outcome o = RunInProcess({"open", "registers"});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    // After the line naming the board library (BoardLibraryTest).
    EXPECT_EQ(o.out.substr(o.out.find('\n') + 1),
              "open/board ... ok (ボードID 0x50454C32、リビジョン 0x00020001)\n"
              "registers/read32 ... ok\n"
              "registers/read16 ... ok\n"
              "dsp/download ... SKIP: 指定されていません\n"
              "memory ... SKIP: 指定されていません\n"
              "scan/area ... SKIP: 指定されていません\n"
              "video/live ... SKIP: 指定されていません\n"
              "total 7, passed 3, warned 0, failed 0, skipped 4, errors 0\n");
    EXPECT_TRUE(WrittenOffsets().empty());
    EXPECT_EQ(SimOpenBoards(), 0u) << "the board is closed at the end";
}

TEST_F(BoardChecksTest, NamedRegistersAreWrittenReadBackAndRestored)
{
    // 0x50 is a plain register; 0x00 (board ID) is read-only, so its write test fails.
    const Outcome first = RunInProcess({"registers", "--write-registers", "0x50,0x00"});
    EXPECT_EQ(first.status, 1);
    EXPECT_NE(first.out.find("registers/write-0x050 ... ok\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("registers/write-0x000 ... FAIL: 書いた 0x5A5AA5A5 が 0x50454C32 と読めました"),
              std::string::npos)
        << first.out;
    EXPECT_EQ(WrittenOffsets(), (std::set<uint32_t>{0x00, 0x50}));

    // Each write is two patterns and then the old value (the board's power-on 0) back.
    std::vector<uint64_t> values;
    SimCall c;
    for (size_t i = 0; i < SimJournalCount(); ++i)
        if (SimJournalEntry(i, &c) == 0 && c.op == SIM_OP_IoWriteLong && c.args[0] == 0x50)
            values.push_back(c.args[1]);
    EXPECT_EQ(values, (std::vector<uint64_t>{0x5A5AA5A5, 0xA5A55A5A, 0}));
}

TEST_F(BoardChecksTest, FailingOpenGivesStatusThreeWithTheReason)
{
    const struct {
        const char *scenario;
        const char *words;
    } cases[] = {
        {"not-installed", "指定された基板IDは実装されていません。（ボード 0、エラー 17）"},
        {"open-fails", "デバイス オープンが失敗しました。（ボード 0、エラー 32）"},
        {"open-busy", "指定された基板IDは既にオープン済みです。"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.scenario);
        SimReset();
        ASSERT_EQ(SimApplyScenario(c.scenario), 0);
        const std::string json = Scratch("open.json");
        const Outcome o = RunInProcess({"--all", "--json", json});
        EXPECT_EQ(o.status, 3);
        EXPECT_NE(o.out.find(std::string("open/board ... FAIL: ") + c.words), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("registers ... SKIP: ボードをオープンできなかったため実行していません"), std::string::npos)
            << o.out;
        EXPECT_NE(o.out.find("total 6, passed 0, warned 0, failed 1, skipped 5, errors 0"), std::string::npos) << o.out;
        EXPECT_NE(ReadFile(json).find("\"exitStatus\": 3"), std::string::npos) << "the report is written";
    }
}

TEST_F(BoardChecksTest, RegisterReadFailureNamesTheStatus)
{
    ASSERT_EQ(SimApplyScenario("register-read-fails"), 0);
    const Outcome o = RunInProcess({"registers"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find("registers/read32 ... FAIL: レジスタリードが失敗しました。（ステータス 3 (0x03)"),
              std::string::npos)
        << o.out;
}

TEST_F(BoardChecksTest, DspDownloadPassesAndFailuresAreExplained)
{
    const Outcome good = RunInProcess({"dsp", "--dsp", SampleFile("area_scan.idm")});
    EXPECT_EQ(good.status, 0) << good.out;
    EXPECT_NE(good.out.find("dsp/download ... ok"), std::string::npos);

    const Outcome damaged = RunInProcess({"dsp", "--dsp", SampleFile("damaged.idm")});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.out.find("dsp/download ... FAIL: ダウンロード中に障害が発生しました。DSPプログラムとして正しくない"),
              std::string::npos)
        << damaged.out;
    EXPECT_NE(damaged.out.find("ステータス 48"), std::string::npos) << damaged.out;

    SimReset();
    ASSERT_EQ(SimApplyScenario("dsp-fails"), 0);
    const Outcome unreadable = RunInProcess({"dsp", "--dsp", SampleFile("area_scan.idm")});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.out.find("ファイルがないか読めません"), std::string::npos) << unreadable.out;
}

// A loaded program would start the scan check's prepared scan by itself (and the check's own
// start restart it), so the program is unloaded before a scan check, and only then.
TEST_F(BoardChecksTest, DownloadedProgramIsResetAwayBeforeTheScanCheckOnly)
{
    const auto ops = [] {
        std::vector<int> list;
        SimCall c;
        for (size_t i = 0; i < SimJournalCount(); ++i)
            if (SimJournalEntry(i, &c) == 0
                && (c.op == SIM_OP_DspDownload || c.op == SIM_OP_BoardReset || c.op == SIM_OP_ScanPrepare)
                && !(c.op == SIM_OP_ScanPrepare && !list.empty() && list.back() == c.op)) // the scan's later cases
                list.push_back(c.op);
        return list;
    };
    SimSetFrameRate(0);
    const Outcome withScan = RunInProcess({"dsp", "scan", "--dsp", SampleFile("ten_frames.idm"), "--frames", "3"});
    EXPECT_EQ(withScan.status, 0) << withScan.out;
    EXPECT_EQ(ops(), (std::vector<int>{SIM_OP_DspDownload, SIM_OP_BoardReset, SIM_OP_ScanPrepare}));

    SimReset();
    const Outcome alone = RunInProcess({"dsp", "--dsp", SampleFile("ten_frames.idm")});
    EXPECT_EQ(alone.status, 0) << alone.out;
    EXPECT_EQ(ops(), (std::vector<int>{SIM_OP_DspDownload}));
}

} // namespace
} // namespace checktest
