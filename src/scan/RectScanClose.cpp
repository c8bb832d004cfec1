// The scan tool's stop, close, paint and dump hand-over (UI thread).
#include "scan/RectScanDlg.h"

#include "framework/MessageBox.h"
#include "res/Resources.h"
#include "scan/ScanToolLink.h"
#include "session/RequestBuffers.h"
#include "session/ToolProtocol.h"
#include "tools/DumpViewDlg.h"
#include "tools/TransferStatsDlg.h"

#include <QPainter>
#include <QTimer>

#include <utility>
#include <vector>

using namespace res::rectscan;

// ---- Stop, close, paint, dump (UI thread) ----

bool CRectScanDlg::StopScan(std::uint32_t kind)
{
    const std::uint32_t timeoutMs = GetDlgItemNumber(IDC_STOP_TIMEOUT, 10);
    const std::int32_t result = ScanCancel(m_hBoard, kind, timeoutMs);
    if (result == BOARD_STATUS_CANCEL_IN_PROGRESS) {
        fw::MessageBox(this, "既にキャンセル処理を実行中です。", std::nullopt, fw::MsgIcon::Stop);
        return false;
    }
    if (result != 0) {
        fw::MessageBox(this, "Scanキャンセルが失敗しました。", std::nullopt, fw::MsgIcon::Stop);
        return false;
    }
    EnableDlgItem(IDC_START, true);
    EnableDumpView(true);
    m_bScanning = false;
    return true;
}

// The dump view is modal to this tool: the tool takes no input (no Start, no close) while the
// view reads its data.
void CRectScanDlg::OnDumpView()
{
    CDumpViewDlg dlg(this);
    dlg.DoModal(this);
}

// The release steps of the close, run once per opening: no callback reaches the dialog after
// the first step, and none is inside it when its buffers go.
bool CRectScanDlg::ReleaseSteps()
{
    if (m_life != Life::Open)
        return false;
    m_life = Life::Releasing; // the waits below pump events: a second close must not start over

    m_toolLink.Shut();
    CloseInspector(); // its thread copies the image, which goes below

    if (m_bScanning) {
        if (IsWindow())
            StopScan(CANCEL_FRAME);
        else
            ScanCancel(m_hBoard, CANCEL_FRAME, 0);
        m_bScanning = false;
    }

    m_toolLink.WaitUntilNoneInside();
    // No callback is inside and none can re-issue a request any more. The image buffer was
    // never handed to the library and goes now; the AP buffer may still be named by requests
    // and is retired until a clear (any tool's) or the board's close has dropped them.
    m_image.Release();
    const bool requested = m_capture.HasRequests();
    std::vector<fw::ZeroBlock> named;
    if (fw::ZeroBlock ap = TakeApBuffer())
        named.push_back(std::move(ap));
    if (requested) // program buffers (this one, or ones retired since the last clear) are named
        session::GiveBackRequestBuffers(m_hBoard, m_requestUser, std::move(named));
    m_capture.ClearRequests();
    m_requestUser.Close();

    if (m_hWorker) {
        m_hWorker->Stop(); // sets the quit event
        m_hWorker.reset();
    }

    m_mailbox.Close();
    if (m_repaintTimer)
        m_repaintTimer->stop();
    m_life = Life::Closed;
    return true;
}

void CRectScanDlg::CloseTool()
{
    if (!IsWindow() || m_life == Life::Releasing)
        return;
    ReleaseSteps();
    m_pTransferStatsDlg.reset(); // it reads the board: it goes with the tool
    if (!IsWindow())
        return;
    FlushLog(ScanMailbox::kSliceBytes); // the window goes next: a backlog is not worth the wait
    fw::Dialog::OnOK();
    DestroyWindow();
    fw::Dialog::PostMessage(m_hMenuWnd, WM_TOOL_CLOSED, TOOL_RECTSCAN, 0);
}

void CRectScanDlg::WindDown()
{
    if (IsWindow())
        CloseTool();
}

void CRectScanDlg::OnOK()
{
    CloseTool();
}

// Esc and the close box close the tool completely, as "閉じる" does, so that its launch button
// in the main menu comes back.
void CRectScanDlg::OnCancel()
{
    CloseTool();
}

void CRectScanDlg::OnClose()
{
    CloseTool();
}

void CRectScanDlg::OnDestroy()
{
    // The window going away by other hands (the main menu's end) still runs the release steps.
    ReleaseSteps();
}

void CRectScanDlg::OnPaint(QPainter &painter)
{
    if (m_shownPicture.isNull())
        return;
    // Drawn in strips: a format conversion of a whole large image would run on Qt's worker
    // threads, which the thread sanitizer cannot follow.
    const QPoint at = DlgItemRect(IDC_PICTURE).topLeft();
    constexpr int kStrip = 16;
    for (int y = 0; y < m_shownPicture.height(); y += kStrip)
        painter.drawImage(at + QPoint(0, y), m_shownPicture,
                          QRect(0, y, m_shownPicture.width(), kStrip));
}

