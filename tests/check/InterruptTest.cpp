// SIGINT (Ctrl+C), SIGHUP and SIGTERM in the middle of the scan check, sent to the real
// executable: the scan is cancelled, the requests cleared and the board closed, the reports of
// what ran are written, the signal is named and the exit status is 128 + the signal. A closed
// stdout ends the run the same way, with status 1.
#include "CheckFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>

namespace checktest {
namespace {

class InterruptTest : public CheckTest {};

TEST_F(InterruptTest, EachSignalDuringTheScanClosesTheBoardAndWritesTheReports)
{
    const struct {
        int signal;
        const char *name;
        const char *line;
    } cases[] = {
        {SIGINT, "SIGINT", "中断されました（SIGINT、Ctrl+C）。"},
        {SIGHUP, "SIGHUP", "中断されました（SIGHUP）。"},
        {SIGTERM, "SIGTERM", "中断されました（SIGTERM）。"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Rearm(std::string("pelora2-check ended by ") + c.name);
        const std::string json = Scratch("r.json"), xml = Scratch("r.xml"), html = Scratch("r.html");
        for (const std::string &f : {json, xml, html})
            std::remove(f.c_str());
        bool sent = false;
        // A scan far longer than the test; the bar shows once the scan runs.
        const Outcome o = RunExecutable(
            {"registers", "scan", "video", "--frames", "100000", "--progress", "--json", json, "--junit", xml, "--html", html},
            "", 20, {"PELORA_SIM_TRACE=1"}, [&](pid_t child, const std::string &out) {
                if (out.find("scan/area [") == std::string::npos)
                    return false;
                kill(child, c.signal);
                sent = true;
                return true;
            });
        ASSERT_TRUE(sent) << o.out;
        EXPECT_FALSE(o.timedOut);
        EXPECT_EQ(o.status, 128 + c.signal) << o.out << o.err;
        EXPECT_NE(o.out.find("scan/area ... ERROR: 中断されました"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("video/live ... SKIP: 中断されたため実行していません"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find(c.line), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("total 7, passed 2, warned 0, failed 0, skipped 4, errors 1"), std::string::npos) << o.out;

        // Cancelled, cleared, closed, in that order, and nothing after the close.
        const size_t cancel = o.err.rfind("[sim] ScanCancel(");
        const size_t clear = o.err.rfind("[sim] ImageRequestClear() = 0");
        const size_t close = o.err.rfind("[sim] BoardClose() = 0");
        ASSERT_NE(cancel, std::string::npos);
        ASSERT_NE(clear, std::string::npos);
        ASSERT_NE(close, std::string::npos);
        EXPECT_LT(cancel, clear);
        EXPECT_LT(clear, close);
        EXPECT_EQ(o.err.find("[sim]", close + 1), std::string::npos);

        const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json))).object();
        EXPECT_TRUE(root["interrupted"].toBool());
        EXPECT_EQ(root["signal"].toString().toStdString(), c.name);
        EXPECT_EQ(root["exitStatus"].toInt(), 128 + c.signal);
        EXPECT_EQ(root["cases"].toArray().size(), 7);
        EXPECT_NE(ReadFile(xml).find("中断されました"), std::string::npos);
        EXPECT_NE(ReadFile(html).find("中断されました"), std::string::npos);
    }
}

// `pelora2-check --all | head -1`: nobody reads the terminal report any more, yet the board is
// closed and the reports are written; the run counts as failed.
TEST_F(InterruptTest, AClosedStdoutStillClosesTheBoardAndWritesTheReports)
{
    const std::string json = Scratch("r.json");
    const Outcome o = RunExecutable({"open", "registers", "memory", "--banks", "0", "--json", json}, "", 20,
                                    {"PELORA_SIM_TRACE=1"}, {}, true);
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("[sim] BoardClose() = 0"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("pelora2-check: 標準出力に書き込めません"), std::string::npos) << o.err;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(json))).object();
    EXPECT_EQ(root["exitStatus"].toInt(), 1);
    EXPECT_TRUE(root["interrupted"].toBool());
}

} // namespace
} // namespace checktest
