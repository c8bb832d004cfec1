// Ctrl+C in the middle of the scan check, sent to the real executable: the scan is cancelled, the
// requests cleared and the board closed, the reports of what ran are written, and the exit status
// is 130.
#include "CheckFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

namespace checktest {
namespace {

class InterruptTest : public CheckTest {};

TEST_F(InterruptTest, CtrlCDuringTheScanClosesTheBoardAndWritesTheReports)
{
    const std::string json = Scratch("r.json"), xml = Scratch("r.xml"), html = Scratch("r.html");
    bool sent = false;
    // A scan far longer than the test; the bar shows once the scan runs.
    const Outcome o = RunExecutable(
        {"registers", "scan", "--frames", "100000", "--progress", "--json", json, "--junit", xml, "--html", html},
        "", 20, {"PELORA_SIM_TRACE=1"}, [&sent](pid_t child, const std::string &out) {
            if (out.find("scan/area [") == std::string::npos)
                return false;
            kill(child, SIGINT);
            sent = true;
            return true;
        });
    ASSERT_TRUE(sent) << o.out;
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.status, 130) << o.out << o.err;
    EXPECT_NE(o.out.find("scan/area ... FAIL: 中断されました"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("total 3, passed 2, failed 1"), std::string::npos) << o.out;

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
    EXPECT_EQ(root["exitStatus"].toInt(), 130);
    EXPECT_EQ(root["cases"].toArray().size(), 3);
    EXPECT_NE(ReadFile(xml).find("中断されました"), std::string::npos);
    EXPECT_NE(ReadFile(html).find("中断されました"), std::string::npos);
}

} // namespace
} // namespace checktest
