// DSP download dialog: the remembered path, the download and its messages.
#include "ToolTestSupport.h"

#include "tools/DspDownloadDlg.h"
#include "res/Resources.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace testing_support;
using fw::test::Click;

namespace {

// Control and template IDs from the resources.
using res::IDD_DSP_DOWNLOAD;
using namespace res::dsp;

class DspDownloadDlgTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        startup = std::make_unique<tools_test::SessionGuard>(board->firstAddress());
        program = std::filesystem::temp_directory_path() /
                  ("pelora_dsp_test_" + std::to_string(::getpid()) + ".idm");
        // A valid program for the simulated board: two words at the start of program memory.
        std::ofstream(program, std::ios::binary) << "IDM1 PEL2\nENTRY 80000000\n@80000000\n"
                                                    "00000001 00000002\nCHECKSUM 00000003\n";
    }
    void TearDown() override
    {
        std::filesystem::remove(program);
        startup.reset();
        DialogTest::TearDown();
    }
    // Opens the dialog, runs the action inside it, and returns the path field as it opened.
    std::string Run(const std::function<void(fw::Dialog &)> &action)
    {
        std::string shownPath;
        fw::test::WhenShown(IDD_DSP_DOWNLOAD, [&](fw::Dialog &dlg) {
            shownPath = dlg.GetDlgItemText(IDC_PATH);
            action(dlg);
            fw::test::PressEnter(dlg);
        });
        CDspDownloadDlg dlg;
        dlg.m_hBoard = board->handle();
        dlg.m_pSession = startup ? &startup->session() : nullptr;
        RunModal(dlg, "the DSP download dialog");
        return shownPath;
    }

    std::unique_ptr<tools_test::SessionGuard> startup;
    std::filesystem::path program;
};

TEST_F(DspDownloadDlgTest, BrowsedPathIsKeptTypedPathIsNot)
{
    EXPECT_EQ(Run([](fw::Dialog &) {}), "");

    // Cancelled browse changes nothing; a confirmed one fills the field and is remembered.
    sinks.files->push(std::nullopt);
    sinks.files->push(program.string());
    std::string afterCancel, afterBrowse;
    Run([&](fw::Dialog &dlg) {
        Click(dlg, IDC_BROWSE);
        afterCancel = dlg.GetDlgItemText(IDC_PATH);
        Click(dlg, IDC_BROWSE);
        afterBrowse = dlg.GetDlgItemText(IDC_PATH);
    });
    EXPECT_EQ(afterCancel, "");
    EXPECT_EQ(afterBrowse, program.string());
    ASSERT_EQ(sinks.files->requests().size(), 2u);
    const fw::FileDialogRequest &request = sinks.files->requests()[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.initialName, "*.idm");
    EXPECT_EQ(request.defaultExt, "");

    // A typed path downloads but the next opening shows the browsed one again.
    const std::string shown = Run([&](fw::Dialog &dlg) {
        fw::test::Type(dlg, IDC_PATH, program.string());
        Click(dlg, IDC_DOWNLOAD);
        fw::test::Type(dlg, IDC_PATH, "/tmp/typed-only.idm");
    });
    EXPECT_EQ(shown, program.string());
    EXPECT_EQ(Run([](fw::Dialog &) {}), program.string());
    EXPECT_EQ(startup->session().m_strDspFilePath, program.string());

    const auto calls = JournalOf(SIM_OP_DspDownload);
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(sinks.boxes->count(), 1u);
    EXPECT_EQ(sinks.boxes->boxes()[0].text, "ダウンロード完了");
    EXPECT_EQ(sinks.boxes->boxes()[0].icon, fw::MsgIcon::None);
}

TEST_F(DspDownloadDlgTest, DownloadMessages)
{
    fw::test::NotifiedWakesOnly wakes; // each download's wait ends when its call returns
    Run([&](fw::Dialog &dlg) {
        Click(dlg, IDC_DOWNLOAD); // empty field: the board is not called
        fw::test::Type(dlg, IDC_PATH, program.string());
        SimInjectResult(SIM_OP_DspDownload, BOARD_STATUS_DSP_DOWNLOAD_FAULT, 1);
        Click(dlg, IDC_DOWNLOAD);
        SimInjectResult(SIM_OP_DspDownload, 49, 1);
        Click(dlg, IDC_DOWNLOAD);
        // Blanks are a path like any other: the library's answer decides.
        fw::test::Type(dlg, IDC_PATH, "   ");
        Click(dlg, IDC_DOWNLOAD);
    });
    const auto boxes = sinks.boxes->boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].text, "ダウンロードファイルを指定してください。");
    EXPECT_EQ(boxes[1].text, "ダウンロード中に障害が発生しました。");
    EXPECT_EQ(boxes[2].text, "ダウンロードが失敗しました。");
    EXPECT_NE(boxes[3].text, "ダウンロードファイルを指定してください。");
    for (const auto &box : boxes) {
        if (box.text != "ダウンロード完了") {
            EXPECT_EQ(box.icon, fw::MsgIcon::Exclamation) << box.text;
        }
    }

    const auto calls = JournalOf(SIM_OP_DspDownload);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(wakes.watchdogFired());
}

TEST_F(DspDownloadDlgTest, WorksWithoutStartupDialog)
{
    startup.reset(); // a tool handed no session
    sinks.files->push(program.string());
    EXPECT_EQ(Run([&](fw::Dialog &dlg) {
                  Click(dlg, IDC_BROWSE);
                  Click(dlg, IDC_DOWNLOAD);
              }),
              "");
    EXPECT_EQ(tools_test::BoxTexts(*sinks.boxes), std::vector<std::string>{"ダウンロード完了"});
}

} // namespace
