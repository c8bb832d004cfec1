// A reference picture: taken from a still chart and compared with later scans of it; a column
// that reads wrong fails the scan naming where, within the plan's tolerance and share it passes;
// a reference that cannot serve is a usage error before any board call.
#include "CheckFixture.h"

#include "check/ReferenceCheck.h"
#include "simctl.h"

#include <QImage>

#include <filesystem>
#include <fstream>

namespace checktest {
namespace {

class ReferenceTest : public CheckTest {};

int Count(const std::string &text, const std::string &what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(ReferenceTest, ScansAreJudgedAgainstAReferenceTakenFromTheStillChart)
{
    const std::string ref8 = Scratch("ref8.png"), ref16 = Scratch("ref16.png"), notSaved = Scratch("not-saved.png");
    const std::string tolerance = Scratch("tolerance.json"), share = Scratch("share.json");
    std::ofstream(tolerance) << R"({"scan": {"referenceTolerance": 255}})";
    std::ofstream(share) << R"({"scan": {"referenceMaxShare": 0.01}})";
    const struct {
        std::vector<const char *> scenarios;
        std::vector<std::string> args;
        int status;
        std::string words; // in the scan/area line
        int pictures;      // the last frame, and the difference when compared
    } rows[] = {
        {{"still-picture"}, {"--save-reference", ref8}, 0, "参照画像を保存しました", 1},
        {{"still-picture"}, {"--pixel-size", "16", "--save-reference", ref16}, 0, "参照画像を保存しました", 1},
        {{"still-picture"}, {"--reference", ref8}, 0, "scan/area ... ok", 2},
        {{"still-picture"}, {"--pixel-size", "16", "--reference", ref16}, 0, "scan/area ... ok", 2},
        {{"still-picture", "dead-column"}, {"--reference", ref8}, 1, "範囲 x 100〜100、y 0〜63", 2},
        {{"still-picture", "dead-column"}, {"--pixel-size", "16", "--reference", ref16}, 1, "範囲 x 100〜100", 2},
        {{"still-picture", "dead-column"}, {"--plan", tolerance, "--reference", ref8}, 0, "scan/area ... ok", 2},
        {{"still-picture", "dead-column"}, {"--plan", share, "--reference", ref8}, 0, "scan/area ... ok", 2},
        // A failing scan leaves no reference behind.
        {{"still-picture", "request-fails"}, {"--save-reference", notSaved}, 1, "参照画像は保存していません", 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.args.back() + " " + row.scenarios.back());
        Rearm("reference run");
        SimReset();
        SimSetFrameRate(0);
        SimSetLineRate(0);
        for (const char *name : row.scenarios)
            ASSERT_EQ(SimSetScenario(name, 1), 0) << name;
        const std::string html = Scratch("r.html");
        std::vector<std::string> args = {"scan", "--frames", "3", "--pixels", "256", "--lines", "64",
                                         "--html", html, "--timeout", "1000"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Outcome o = RunInProcess(args);
        EXPECT_EQ(o.status, row.status) << o.out << o.err;
        const size_t line = o.out.find("scan/area ...");
        ASSERT_NE(line, std::string::npos) << o.out;
        EXPECT_NE(o.out.substr(line, o.out.find('\n', line) - line).find(row.words), std::string::npos) << o.out;
        EXPECT_EQ(Count(ReadFile(html), "src=\"data:image/png;base64,"), row.pictures);
    }
    EXPECT_FALSE(std::filesystem::exists(notSaved));
}

TEST_F(ReferenceTest, ReferencesThatCannotServeAreUsageErrorsBeforeTheBoard)
{
    std::vector<uint8_t> chart(256 * 64, 0x80);
    const std::string ref = Scratch("ref.png"), cut = Scratch("cut.png"), text = Scratch("text.png");
    const std::string rgb = Scratch("rgb.png"), plan = Scratch("plan.json"), big = Scratch("big.json");
    const std::string png = check::GreyPngBytes({chart.data(), 256, 64, 1});
    ASSERT_FALSE(png.empty());
    std::ofstream(ref, std::ios::binary) << png;
    std::ofstream(cut, std::ios::binary) << png.substr(0, png.size() / 2);
    std::ofstream(text) << "not a picture";
    QImage colour(256, 64, QImage::Format_RGB32);
    colour.fill(Qt::gray);
    ASSERT_TRUE(colour.save(QString::fromStdString(rgb), "PNG"));
    std::ofstream(plan) << R"({"scan": {"referenceMaxShare": 2}})";
    std::ofstream(big) << R"({"scan": {"referenceTolerance": 65536}})";
    const std::vector<std::string> scan = {"scan", "--pixels", "256", "--lines", "64"};
    const std::vector<std::vector<std::string>> cases = {
        {"--reference", Scratch("missing.png")},
        {"--reference", Scratch("")},
        {"--reference", text},
        {"--reference", cut},
        {"--reference", rgb},
        {"--reference", ""},
        {"--reference", ref, "--pixels", "128"},
        {"--reference", ref, "--pixel-size", "16"},
        {"--save-reference", Scratch("r.png"), "--pixel-size", "32"},
        {"--reference", ref, "--save-reference", ref},
        {"--save-reference", Scratch("no-such-folder/r.png")},
        {"--reference", ref, "--plan", plan},
        {"--reference", ref, "--plan", big},
        {"--save-reference", Scratch("r.json"), "--json", Scratch("r.json")},
    };
    for (const auto &extra : cases) {
        std::vector<std::string> args = scan;
        args.insert(args.end(), extra.begin(), extra.end());
        SCOPED_TRACE(extra[0] + " " + extra[1] + (extra.size() > 2 ? " " + extra[2] : ""));
        SimJournalClear();
        const Outcome o = RunInProcess(args);
        EXPECT_EQ(o.status, 2) << o.out;
        EXPECT_EQ(SimJournalCount(), 0u);
        EXPECT_EQ(o.err.rfind("pelora2-check: ", 0), 0u) << o.err;
    }
    // Without the scan check there is nothing to compare.
    SimJournalClear();
    EXPECT_EQ(RunInProcess({"memory", "--reference", ref}).status, 2);
    EXPECT_EQ(SimJournalCount(), 0u);
}

} // namespace
} // namespace checktest
