#include "tools/ScanDataSetDlg.h"

#include "session/ToolProtocol.h"
#include "res/Resources.h"
#include "session/RequestBuffers.h"
#include "ops/ScanDataSetTest.h"
#include "tools/LongOperation.h"
#include "tools/ShowResult.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// Control and template IDs from the resources.
using res::IDD_SCAN_DATA_SET;
using namespace res::scandataset;

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

} // namespace

CScanDataSetDlg::CScanDataSetDlg() : fw::Dialog(IDD_SCAN_DATA_SET)
{
    OnCommand(IDC_TEST, [this] { OnTest(); });
}

CScanDataSetDlg::~CScanDataSetDlg() = default;

bool CScanDataSetDlg::OnInitDialog()
{
    m_requestUser.Open(session::DeliveryOf(m_hBoard));
    SetDlgItemText(IDC_WAIT, "0");
    m_dwWaitMs = 0;
    return true;
}

void CScanDataSetDlg::OnOK()
{
    CloseTool();
}

// Esc and the close box close the tool for good, like "閉じる", so the main menu's button does
// not stay disabled; during a wait they are the way to end it.
void CScanDataSetDlg::OnCancel()
{
    CloseTool();
}

void CScanDataSetDlg::OnDestroy()
{
    m_requestUser.Close(); // however the window goes
}

void CScanDataSetDlg::WindDown()
{
    if (IsWindow())
        CloseTool();
}

void CScanDataSetDlg::CloseTool()
{
    if (!IsWindow())
        return;
    EndDialog(fw::IDOK);
    DestroyWindow();
    fw::Dialog::PostMessage(m_hMenuWnd, WM_TOOL_CLOSED, TOOL_SCANDATASET, 0);
}

// One test at a time: its boxes and its wait keep events flowing, and a second press meanwhile
// would interleave two sequences on the board.
void CScanDataSetDlg::OnTest()
{
    if (m_bTesting)
        return;
    m_bTesting = true;
    m_hTestWindow = GetSafeHwnd();
    RunTest();
    m_bTesting = false;
}

// A test never outlives its window: once the tool has closed (during a box or the wait), it
// makes no further board call.
bool CScanDataSetDlg::StillOpen() const
{
    return IsWindow() && GetSafeHwnd() == m_hTestWindow;
}

void CScanDataSetDlg::RunTest()
{
    m_dwWaitMs = GetDlgItemNumber(IDC_WAIT, 10);

    ops::ScanDataSetSetup setup;
    setup.haveAreas = m_pSession != nullptr;
    setup.area0 = m_pSession ? m_pSession->AreaStart(0) : nullptr;
    setup.clearRequests = [this] { return session::ClearImageRequests(m_hBoard); };
    // A failing row shows its own box; the test goes on while its window is there.
    setup.report = [this](const ops::Result &row) {
        ShowResult(this, row);
        return StillOpen();
    };
    setup.wait = [this] { return Wait(); };
    ShowResult(this, ops::RunScanDataSetTest(m_hBoard, setup));
}

bool CScanDataSetDlg::Wait()
{
    if (m_dwWaitMs == 0)
        return true;
    using Clock = std::chrono::steady_clock;
    const bool endless = m_dwWaitMs == kWaitForever;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_dwWaitMs);

    // "閉じる" stays usable: closing the tool is how a long or endless wait is ended.
    LongOperation busy(*this, {fw::IDOK});
    char text[64];
    for (;;) {
        if (!busy.WindowAlive())
            return false;
        const Clock::time_point now = Clock::now();
        if (!endless && now >= deadline)
            return true;
        if (endless) {
            busy.Progress("Wait中 (閉じると終了)");
        } else {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            std::snprintf(text, sizeof text, "Wait中 残り %lld ms", static_cast<long long>(left));
            busy.Progress(text);
        }
        const auto slice = endless ? std::chrono::milliseconds(100)
                                   : std::min(std::chrono::milliseconds(100),
                                              std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  deadline - now) + std::chrono::milliseconds(1));
        busy.Pause(static_cast<int>(slice.count()));
    }
}
