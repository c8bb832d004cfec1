// DSP download: no call without a path, one call per download, and the three outcomes.
#include "OpsFixture.h"

#include "ops/DspProgram.h"

#include <filesystem>

using namespace opstest;

namespace {

std::string Sample(const char *name)
{
    return (std::filesystem::path(PELORA_SOURCE_DIR) / "sim" / "samples" / name).string();
}

class DspProgramTest : public OpsTest {};

TEST_F(DspProgramTest, NoPathNoCall)
{
    const ops::Result r = ops::DownloadDspProgram(board, "");
    EXPECT_EQ(r.step, "path");
    EXPECT_EQ(r.message, "ダウンロードファイルを指定してください。");
    EXPECT_EQ(r.icon, ops::Icon::Exclamation);
    EXPECT_EQ(SimJournalCount(), 0u);
    EXPECT_TRUE(ops::CheckDspPath("x.idm").ok());
}

TEST_F(DspProgramTest, DownloadOutcomes)
{
    ops::Result r = ops::DownloadDspProgram(board, Sample("area_scan.idm"));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.message, "ダウンロード完了");
    EXPECT_EQ(r.icon, ops::Icon::None);
    EXPECT_EQ(Calls(), std::vector<std::string>{"DspDownload"});

    r = ops::DownloadDspProgram(board, Sample("damaged.idm"));
    EXPECT_EQ(r.step, "DspDownload");
    EXPECT_EQ(r.status, BOARD_STATUS_DSP_DOWNLOAD_FAULT);
    EXPECT_EQ(r.message, "ダウンロード中に障害が発生しました。");
    EXPECT_EQ(r.icon, ops::Icon::Exclamation);

    r = ops::DownloadDspProgram(board, Sample("no-such-file.idm"));
    EXPECT_EQ(r.step, "DspDownload");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.message, "ダウンロードが失敗しました。");
    EXPECT_EQ(r.icon, ops::Icon::Exclamation);

    SimInjectResult(SIM_OP_DspDownload, 9, 1);
    r = ops::DownloadDspProgram(board, Sample("area_scan.idm"));
    EXPECT_EQ(r.status, 9);
    EXPECT_EQ(r.message, "ダウンロードが失敗しました。");
    EXPECT_EQ(CallsOf(SIM_OP_DspDownload).size(), 4u);
}

} // namespace
