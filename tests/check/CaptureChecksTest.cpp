// The scan and video checks on the simulated board: a healthy board passes with every frame
// accounted for, a failing request and a board that never delivers fail with their reasons, and
// the reports carry the picture, the snapshot and the intervals.
#include "CheckFixture.h"
#include "check/BoardLink.h"

#include "simctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>

namespace checktest {
namespace {

class CaptureChecksTest : public CheckTest {};

QJsonObject CaseOf(const std::string &jsonPath, const std::string &name)
{
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(jsonPath))).object();
    for (const QJsonValue &v : root["cases"].toArray())
        if (v.toObject()["name"].toString().toStdString() == name)
            return v.toObject();
    return {};
}

int Count(const std::string &text, const std::string &what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(CaptureChecksTest, HealthyScansAccountForEveryFrameAndLine)
{
    const struct {
        std::vector<std::string> args;
        int frames, lines;
    } cases[] = {
        {{"--frames", "12"}, 12, 1024},
        {{"--frames", "5", "--pixels", "256", "--lines", "128", "--unit", "line", "--line-interval", "32",
          "--pixel-size", "16", "--buffer", "program"},
         5, 128},
        {{"--frames", "3", "--pixels", "2048", "--lines", "64", "--pixel-size", "32", "--buffer", "program"}, 3, 64},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[1]);
        SimReset();
        // As fast as the checker takes the frames: the board waits for requests and loses none,
        // however busy the machine is.
        SimSetFrameRate(0);
        SimSetLineRate(0);
        const std::string json = Scratch("r.json"), html = Scratch("r.html");
        std::vector<std::string> args = {"scan", "--json", json, "--html", html};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = RunInProcess(args);
        EXPECT_EQ(o.status, 0) << o.out << o.err;
        EXPECT_NE(o.out.find("scan/area ... ok ("), std::string::npos) << o.out;
        const QJsonObject p = CaseOf(json, "scan/area")["properties"].toObject();
        EXPECT_EQ(p["framesAccounted"].toInt(), c.frames);
        EXPECT_EQ(p["linesAccounted"].toInt(), c.frames * c.lines);
        EXPECT_EQ(p["endReason"].toInt(), 1);
        EXPECT_EQ(p["noRequestAfter"], p["noRequestBefore"]);
        // The last picture and the interval histogram are on the page.
        const std::string page = ReadFile(html);
        EXPECT_EQ(Count(page, "src=\"data:image/png;base64,"), 1);
        EXPECT_EQ(Count(page, "<svg"), 1);
        EXPECT_EQ(SimOpenBoards(), 0u);
    }
}

TEST_F(CaptureChecksTest, FailingRequestsAndSilentBoardsFailTheScanWithTheirReason)
{
    ASSERT_EQ(SimApplyScenario("request-fails"), 0);
    const Outcome refused = RunInProcess({"scan", "--frames", "3"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("scan/area ... FAIL: 矩形データ取得要求が失敗しました。（ImageRequest、ステータス 3"),
              std::string::npos)
        << refused.out;

    // The DSP starts nothing: no delivery ever comes, and the time-out ends the check.
    SimReset();
    ASSERT_EQ(SimApplyScenario("dsp-reject"), 0);
    const Outcome silent = RunInProcess({"scan", "--frames", "3", "--timeout", "300"});
    EXPECT_EQ(silent.status, 1);
    EXPECT_NE(silent.out.find("scan/area ... FAIL: 300 ms 以内に画像転送がありませんでした。"), std::string::npos)
        << silent.out;
    EXPECT_EQ(SimOpenBoards(), 0u);
}

// The depth sweeps start scans with 1, 2, 3, 5 ... 89 requests waiting, for each of the three
// kinds (driver buffer, program buffers, line units), and pass on a healthy board.
TEST_F(CaptureChecksTest, DepthSweepsStartWithEveryDepthOfRequestsWaiting)
{
    SimSetFrameRate(0);
    SimSetLineRate(0);
    const Outcome o = RunInProcess({"scan", "--frames", "3"});
    EXPECT_EQ(o.status, 0) << o.out;
    for (const char *kind : {"driver", "program", "line"})
        EXPECT_NE(o.out.find(std::string("scan/depth/") + kind + " ... ok"), std::string::npos) << o.out;
    std::map<uint32_t, int> startsWith; // requests issued since the last clear, at each ScanPrepare
    uint32_t waiting = 0;
    SimCall c;
    for (size_t i = 0; i < SimJournalCount(); ++i) {
        if (SimJournalEntry(i, &c) != 0)
            continue;
        if (c.op == SIM_OP_ImageRequestClear)
            waiting = 0;
        else if (c.op == SIM_OP_ImageRequest)
            ++waiting;
        else if (c.op == SIM_OP_ScanPrepare)
            ++startsWith[waiting];
    }
    for (uint32_t depth : {1u, 2u, 3u, 5u, 8u, 13u, 21u, 34u, 55u, 89u})
        EXPECT_GE(startsWith[depth], 3) << depth;
}

// The scan's rate is the board's and is judged against the plan's limits: the slow board fails by
// its rate with the defaults and passes with limits lowered for it.
TEST_F(CaptureChecksTest, ScanRateIsJudgedAgainstThePlansLimits)
{
    const std::string plan = Scratch("plan.json");
    const struct {
        const char *limits;
        int status;
        std::vector<const char *> words;
    } cases[] = {
        {"{}", 1, {"scan/area ... FAIL: フレームレートが ", " fps です (下限 20 fps)", "転送速度が ", "(下限 20.972 MB/s)"}},
        // Host jitter only warns; off here, so a slow sanitizer build's timing cannot turn the
        // pass into a warning.
        {R"({"minFps": 1.5, "minMBps": 1, "maxJitterMs": 0})", 0, {"scan/area ... ok (3 フレーム、"}},
        {R"({"minFps": 1.5, "minMBps": 5, "maxJitterMs": 0})", 1, {"scan/area ... FAIL: 転送速度が ", "(下限 5 MB/s)"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.limits);
        Rearm(c.limits); // the scan check's later cases at 2 frames per second take a while
        SimReset();
        ASSERT_EQ(SimApplyScenario("slow-scan"), 0); // 2 frames per second
        std::ofstream(plan) << R"({"scan": )" << c.limits << "}";
        const Outcome o = RunInProcess({"scan", "--frames", "3", "--plan", plan});
        EXPECT_EQ(o.status, c.status) << o.out;
        for (const char *w : c.words)
            EXPECT_NE(o.out.find(w), std::string::npos) << w << "\n" << o.out;
    }
}

// A hook held up now and then, as on a busy host, delays arrivals without the board losing a
// frame: the case warns and names the host's timing; lost frames are the board's counters.
TEST_F(CaptureChecksTest, BusyHostWarnsWithoutFailingHealthyCaptures)
{
    const std::string json = Scratch("r.json");
    std::atomic<int> delivered{0};
    const Outcome o = RunInProcess({"video", "--seconds", "2", "--json", json}, [&delivered] {
        if (++delivered % 10 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(65));
    });
    EXPECT_EQ(o.status, 0) << o.out;
    // A loaded host may warn of the rate or the jitter first.
    EXPECT_NE(o.out.find("video/live ... WARN: "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("到着間隔の空きが "), std::string::npos) << o.out;
    const QJsonObject c = CaseOf(json, "video/live");
    EXPECT_EQ(c["outcome"].toString(), "warn");
    EXPECT_EQ(c["properties"].toObject()["lostImages"].toInt(-1), 0);
    EXPECT_GE(c["properties"].toObject()["gaps"].toInt(), 1);

    // A hook that stalls 20 ms every fourth delivery leaves a one-request line-unit scan without a
    // request: the board counts the loss against the host, so the depth sweep only warns.
    const Outcome scan = RunInProcess({"scan", "--frames", "10", "--pixels", "256", "--lines", "64", "--json", json},
                                      [&delivered] {
                                          if (++delivered % 4 == 0)
                                              std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                      });
    EXPECT_EQ(scan.status, 0) << scan.out;
    const QJsonObject line = CaseOf(json, "scan/depth/line");
    EXPECT_EQ(line["outcome"].toString(), "warn") << scan.out;
    // In a slow (sanitizer) build the two sweeps before it can use up the sweeps' time limit: the
    // line sweep is then cut short, and its warning says that instead.
    if (!line["warning"].toString().contains("時間の上限"))
        EXPECT_GE(line["properties"].toObject()["hostRetries"].toInt(), 2) << scan.out;
}

TEST_F(CaptureChecksTest, AHookCallFromASecondThreadIsNamedInTheCase)
{
    // A library that broke its one-thread promise: a second thread enters the hook while the
    // delivery thread is still inside it (this stall runs inside the hook call).
    const std::string json = Scratch("r.json");
    std::atomic<int> delivered{0};
    const Outcome o = RunInProcess({"video", "--seconds", "1", "--json", json}, [&delivered] {
        if (++delivered == 5)
            std::thread([] { check::BoardLink::HookEntry(0, 0, 0, 0, nullptr); }).join();
    });
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("画像転送Hookが別スレッドから同時に 1 回呼ばれました"), std::string::npos) << o.out;
    EXPECT_EQ(CaseOf(json, "video/live")["properties"].toObject()["overlappingHookCalls"].toInt(), 1);
}

TEST_F(CaptureChecksTest, VideoReportsItsFiguresAndASnapshot)
{
    // Live video runs at 29.97 frames per second whatever the machine's load, so whether this
    // run keeps the rate is not judged here; what the check reports is.
    const std::string json = Scratch("r.json"), html = Scratch("r.html");
    const Outcome o = RunInProcess({"video", "--seconds", "1", "--json", json, "--html", html});
    const QJsonObject c = CaseOf(json, "video/live");
    const QJsonObject p = c["properties"].toObject();
    EXPECT_GE(p["frames"].toInt(), 1);
    EXPECT_EQ(p["nominalFramesPerSecond"].toDouble(), 29.97);
    for (const char *key : {"framesPerSecond", "gaps", "jitterUs", "intervalMedianUs", "intervalP99Us"})
        EXPECT_TRUE(p.contains(key)) << key;
    EXPECT_EQ(o.status, c["passed"].toBool() ? 0 : 1) << o.out;
    EXPECT_EQ(Count(ReadFile(html), "src=\"data:image/png;base64,"), 1);
    EXPECT_EQ(Count(ReadFile(html), "<svg"), 1);

    SimReset();
    ASSERT_EQ(SimApplyScenario("request-fails"), 0);
    const Outcome refused = RunInProcess({"video", "--seconds", "1"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("video/live ... FAIL: 画像データ取得要求が失敗しました。"), std::string::npos)
        << refused.out;
}

} // namespace
} // namespace checktest
