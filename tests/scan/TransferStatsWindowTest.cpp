// The scan tool's transfer statistics window, reached by right click on the picture: its counts
// against the hook's count and the board's counters, a lost image, the CSV file and its failure,
// and closing it (and the tool) while frames arrive.
#include "ScanToolFixture.h"

#include "framework/TestDriver.h"
#include "tools/IntervalChart.h"
#include "tools/TransferStatsDlg.h"

#include <QPushButton>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace scantest;
using Field = TransferStatsDlg::Field;

namespace {

class TransferStatsWindowTest : public ScanToolTest {
protected:
    TransferStatsDlg &OpenFromMenu()
    {
        const std::vector<fw::ContextMenuEntry> entries = fw::test::ContextMenu(scan, IDC_PICTURE);
        bool listed = false;
        for (const fw::ContextMenuEntry &e : entries)
            listed = listed || (e.text == "転送統計..." && e.enabled);
        EXPECT_TRUE(listed);
        EXPECT_TRUE(fw::test::ChooseContextMenu(scan, IDC_PICTURE, "転送統計..."));
        TransferStatsDlg *window = scan.TransferStatsWindow();
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(window->IsVisible());
        return *window;
    }

    void Setup(int unit, const char *lines, const char *startCount, const char *requests)
    {
        fw::test::SelectIndex(scan, IDC_SCAN_UNIT, unit);
        Type(IDC_LINES_PER_FRAME, lines);
        Type(IDC_PIXELS_PER_LINE, "96");
        Type(IDC_LINE_INT_INTERVAL, unit == 1 ? "16" : "0");
        Type(IDC_START_COUNT, startCount);
        Type(IDC_REQUEST_COUNT, requests);
    }
};

TEST_F(TransferStatsWindowTest, CountsEqualTheHookAndTheBoard)
{
    const struct {
        int unit;
        int deliveries;
        const char *frames, *lines;
    } cases[] = {{0, 5, "5", "320"}, {1, 8, "2", "128"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.unit);
        Reopen();
        Setup(c.unit, "64", c.unit == 0 ? "5" : "2", "2");
        TransferStatsDlg &stats = OpenFromMenu();
        ASSERT_TRUE(Click(IDC_START));
        Step(c.deliveries);
        stats.Refresh(true);
        EXPECT_EQ(stats.FieldText(Field::Deliveries), scan.GetDlgItemText(IDC_HOOK_CALLS));
        EXPECT_EQ(stats.FieldText(Field::Deliveries), std::to_string(c.deliveries));
        EXPECT_EQ(stats.FieldText(Field::LibraryHookCalls), std::to_string(c.deliveries));
        EXPECT_EQ(stats.FieldText(Field::Frames), c.frames);
        EXPECT_EQ(stats.FieldText(Field::Lines), c.lines);
        EXPECT_EQ(stats.FieldText(Field::NoRequest), "0");
        EXPECT_EQ(stats.FieldText(Field::HookBusy), "0");
        EXPECT_EQ(stats.chart().Intervals().size(), std::stoul(c.frames) - 1);

        // Reset: the figures start again.
        auto *reset = stats.widget()->findChild<QPushButton *>("reset");
        ASSERT_NE(reset, nullptr);
        reset->click();
        EXPECT_EQ(stats.FieldText(Field::Frames), "0");
        EXPECT_EQ(stats.FieldText(Field::Lines), "0");
        EXPECT_EQ(stats.FieldText(Field::IntervalMax), "-");
    }
    EXPECT_EQ(sinks.boxes->count(), 0u);
}

// Rates and intervals describe the current scan: a second Start begins a new run, the totals
// since the window opened go on beside it, and a new opening of the tool counts afresh.
TEST_F(TransferStatsWindowTest, EachStartBeginsARunAndEachOpeningNewTotals)
{
    Setup(0, "64", "1", "2");
    TransferStatsDlg &stats = OpenFromMenu();
    ASSERT_TRUE(Click(IDC_START));
    Step(1);
    Type(IDC_START_COUNT, "3");
    ASSERT_TRUE(Click(IDC_START));
    Step(3);
    stats.Refresh(true);
    EXPECT_EQ(stats.FieldText(Field::Frames), "3");
    EXPECT_EQ(stats.FieldText(Field::Deliveries), scan.GetDlgItemText(IDC_HOOK_CALLS));
    EXPECT_EQ(stats.chart().Intervals().size(), 2u) << "the wait between the scans was counted";
    EXPECT_EQ(stats.FieldText(Field::TotalRuns), "2");
    EXPECT_EQ(stats.FieldText(Field::TotalFrames), "4");
    EXPECT_EQ(stats.FieldText(Field::TotalDeliveries), "4");
    EXPECT_TRUE(stats.HasField(Field::LostRuns));

    Reopen();
    Setup(0, "64", "2", "2");
    ASSERT_TRUE(Click(IDC_START));
    Step(2);
    TransferStatsDlg &again = OpenFromMenu();
    again.Refresh(true);
    EXPECT_EQ(again.FieldText(Field::TotalDeliveries), "2") << "deliveries of an earlier opening counted";
    EXPECT_EQ(again.FieldText(Field::TotalRuns), "1");
}

// One request, no re-issue from the hook: the next two frames find no request and are lost.
TEST_F(TransferStatsWindowTest, ALostImageShows)
{
    Setup(0, "64", "3", "1");
    ASSERT_TRUE(Click(IDC_HOOK_ISSUE_OFF));
    TransferStatsDlg &stats = OpenFromMenu();
    ASSERT_TRUE(Click(IDC_START));
    Step(3);
    stats.Refresh(true);
    EXPECT_EQ(stats.FieldText(Field::Frames), "1");
    EXPECT_EQ(stats.FieldText(Field::Deliveries), scan.GetDlgItemText(IDC_HOOK_CALLS));
    EXPECT_EQ(stats.FieldText(Field::NoRequest), "2");
}

TEST_F(TransferStatsWindowTest, CsvFileAndAFailedWrite)
{
    Setup(0, "64", "4", "2");
    TransferStatsDlg &stats = OpenFromMenu();
    ASSERT_TRUE(Click(IDC_START));
    Step(4);

    const std::string path = testing::TempDir() + "transfer_stats_test.csv";
    std::remove(path.c_str());
    sinks.files->push(path);
    stats.OnSaveCsv();
    ASSERT_EQ(sinks.files->requests().size(), 1u);
    EXPECT_TRUE(sinks.files->requests()[0].save);
    EXPECT_EQ(sinks.files->requests()[0].owner, scan.GetSafeHwnd());
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().rfind("\xEF\xBB\xBF項目,値\r\n", 0), 0u) << "no byte-order mark";
    EXPECT_NE(text.str().find("フレーム数,4\r\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("ライン数,256\r\n"), std::string::npos);
    EXPECT_NE(text.str().find("番号,フレーム間隔(us)\r\n1,"), std::string::npos);
    // One time stamp per frame, in order: local time and milliseconds since the first delivery.
    const std::string heading = "フレーム,受信時刻,開始からの時間(ms)\r\n";
    const std::size_t stamps = text.str().find(heading);
    ASSERT_NE(stamps, std::string::npos);
    std::istringstream rows(text.str().substr(stamps + heading.size()));
    std::string row, lastTime;
    double lastMs = -1;
    int frames = 0;
    while (std::getline(rows, row) && !row.empty()) {
        unsigned number = 0;
        char date[16] = {}, time[16] = {};
        double ms = 0;
        ASSERT_EQ(std::sscanf(row.c_str(), "%u,%15s %15[0-9:.],%lf", &number, date, time, &ms), 4)
            << row;
        EXPECT_EQ(number, unsigned(++frames));
        EXPECT_EQ(std::strlen(time), 12u) << row; // hh:mm:ss.mmm
        EXPECT_TRUE(frames == 1 ? ms == 0 : ms > lastMs) << row;
        lastMs = ms;
    }
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(sinks.boxes->count(), 0u);

    // A folder that does not exist: the box, never a silent success.
    sinks.files->push(testing::TempDir() + "no such folder/stats.csv");
    stats.OnSaveCsv();
    ASSERT_EQ(sinks.boxes->count(), 1u);
    EXPECT_EQ(sinks.boxes->boxes()[0].text, "CSVファイルの書き込みに失敗しました。");
    EXPECT_EQ(sinks.boxes->boxes()[0].icon, fw::MsgIcon::Stop);

    // Cancelled: nothing written, no box.
    sinks.files->push(std::nullopt);
    stats.OnSaveCsv();
    EXPECT_EQ(sinks.boxes->count(), 1u);
    std::remove(path.c_str());
}

TEST_F(TransferStatsWindowTest, ClosesCleanlyWhileFramesArrive)
{
    SimSetStepMode(0);
    SimSetFrameRate(200);
    Setup(0, "64", "0", "2"); // until stopped
    TransferStatsDlg &stats = OpenFromMenu();
    ASSERT_TRUE(Click(IDC_START));
    ASSERT_TRUE(fw::test::WaitUntil([&] { return SimHookCalls() >= 20; }, 10000));
    fw::PumpEventsFor(300); // the window refreshes while frames come
    stats.Refresh(true);
    EXPECT_NE(stats.FieldText(Field::Frames), "0");
    {
        Watchdog watchdog("the statistics window to close while frames arrive");
        stats.Close();
        fw::PumpEventsFor(100);
    }
    EXPECT_FALSE(stats.IsVisible());
    // Open again, then close the tool with the window open and frames still coming.
    TransferStatsDlg &again = OpenFromMenu();
    EXPECT_EQ(&again, &stats);
    fw::PumpEventsFor(100);
    WindDown();
    EXPECT_EQ(scan.TransferStatsWindow(), nullptr);
}

} // namespace
