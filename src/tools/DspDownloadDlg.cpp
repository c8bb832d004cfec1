#include "tools/DspDownloadDlg.h"

#include "framework/FileDialog.h"
#include "framework/UiThread.h"
#include "ops/DspProgram.h"
#include "tools/LongOperation.h"
#include "tools/ShowResult.h"
#include "res/Resources.h"

#include <optional>
#include <string>

namespace {

// Control and template IDs from the resources.
using res::IDD_DSP_DOWNLOAD;
using namespace res::dsp;

} // namespace

CDspDownloadDlg::CDspDownloadDlg() : fw::Dialog(IDD_DSP_DOWNLOAD)
{
    OnCommand(IDC_BROWSE, [this] { OnBrowse(); });
    OnCommand(IDC_DOWNLOAD, [this] { OnDownload(); });
}

bool CDspDownloadDlg::OnInitDialog()
{
    SetDlgItemText(IDC_PATH, m_pSession ? m_pSession->m_strDspFilePath : std::string());
    return true;
}

void CDspDownloadDlg::OnOK()
{
    if (!m_bDownloading)
        fw::Dialog::OnOK();
}

void CDspDownloadDlg::OnCancel()
{
    if (!m_bDownloading)
        fw::Dialog::OnCancel();
}

void CDspDownloadDlg::OnBrowse()
{
    fw::FileDialogRequest request;
    request.save = false;
    request.owner = GetSafeHwnd();
    request.initialName = "*.idm";
    request.filter = "*.*|*.*";
    const std::optional<std::string> path = fw::ChooseFile(request);
    if (!path)
        return;
    SetDlgItemText(IDC_PATH, *path);
    // Only a browsed path is remembered; a typed one is used for the download alone.
    if (m_pSession)
        m_pSession->m_strDspFilePath = *path;
}

void CDspDownloadDlg::OnDownload()
{
    const std::string path = GetDlgItemText(IDC_PATH);
    if (const ops::Result checked = ops::CheckDspPath(path); !checked.ok()) {
        ShowResult(this, checked);
        return;
    }

    // The library reads the whole file; on a slow board that takes a while. The call runs on a
    // helper thread so the dialog stays painted while it takes no input; the handler still ends
    // only when the download has.
    ops::Result result; // written by the helper thread, read after it has been joined
    {
        LongOperation busy(*this);
        busy.Progress("ダウンロード中...");
        m_bDownloading = true;
        const BoardHandle hBoard = m_hBoard;
        // Runs on fw::RunWhilePumping's helper thread: one DspDownload call.
        fw::RunWhilePumping([&result, hBoard, &path] {
            result = ops::DownloadDspProgram(hBoard, path);
        });
        m_bDownloading = false;
    }
    ShowResult(this, result);
}
