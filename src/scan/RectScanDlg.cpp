#include "scan/RectScanDlg.h"

#include "framework/Clock.h"
#include "framework/MessageBox.h"
#include "framework/UiThread.h"
#include "ops/AreaScanStart.h"
#include "res/Resources.h"
#include "scan/PictureInspector.h"
#include "scan/ScanToolLink.h"
#include "session/RequestBuffers.h"
#include "tools/ShowResult.h"
#include "tools/TransferStatsDlg.h"
#include "tools/TransferStatsMenu.h"

#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace res::rectscan;

namespace {

constexpr std::uint32_t kRequestBufferSize = CRectScanDlg::kBufferSize;
constexpr int kRefreshIntervalMs = 16; // the picture is refreshed at most at screen rate

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CRectScanDlg::CRectScanDlg() : fw::Dialog(res::IDD_RECT_SCAN), m_capture(m_image, &g_nHookLineTotal)
{
    auto bind = [this](int id, void (CRectScanDlg::*handler)()) {
        OnCommand(id, [this, handler] {
            if (m_life == Life::Open)
                (this->*handler)();
        });
    };
    bind(IDC_START, &CRectScanDlg::OnStart);
    bind(IDC_FRAME_STOP, &CRectScanDlg::OnFrameStop);
    bind(IDC_LINE_STOP, &CRectScanDlg::OnLineStop);
    bind(IDC_DUMP_VIEW, &CRectScanDlg::OnDumpView);
    bind(IDC_ISSUE_REQUEST, &CRectScanDlg::OnIssueRequest);
    bind(IDC_ACQUIRE_EXCLUSIVE, &CRectScanDlg::OnAcquireExclusive);
    bind(IDC_RELEASE_EXCLUSIVE, &CRectScanDlg::OnReleaseExclusive);
    bind(IDC_START_BY_BUTTON, &CRectScanDlg::OnStartByButton);
    bind(IDC_START_BY_DSP, &CRectScanDlg::OnStartByDsp);
    bind(IDC_ISSUE_AUTO, &CRectScanDlg::OnIssueAuto);
    bind(IDC_ISSUE_MANUAL, &CRectScanDlg::OnIssueManual);
    bind(IDC_ISSUE_BEFORE_START, &CRectScanDlg::OnIssueBeforeStart);
    bind(IDC_ISSUE_AFTER_START, &CRectScanDlg::OnIssueAfterStart);
    bind(IDC_HOOK_ISSUE_ON, &CRectScanDlg::OnHookIssueOn);
    bind(IDC_HOOK_ISSUE_OFF, &CRectScanDlg::OnHookIssueOff);
    bind(IDC_BUFFER_AP, &CRectScanDlg::OnBufferAp);
    bind(IDC_BUFFER_DRIVER, &CRectScanDlg::OnBufferDriver);
    OnCommand(IDC_HOOK_SLEEP, fw::EN_CHANGE, [this] { OnHookSleepChanged(); });
    // Additions beside the template: the picture's context menu.
    AddContextMenu(IDC_PICTURE, [this](QPoint) {
        return std::vector<fw::ContextMenuEntry>{PngSaveEntry(), InspectorEntry()};
    });
    AddTransferStatsMenu(*this, IDC_PICTURE, [this] { OpenTransferStats(); });
}

CRectScanDlg::~CRectScanDlg()
{
    // Normally WindDown has run; this only keeps a forgotten tool from outliving its buffers.
    ReleaseSteps();
    m_pTransferStatsDlg.reset();
    if (IsWindow())
        DestroyWindow();
}

// ---- Initialisation and parameters (UI thread) ----

bool CRectScanDlg::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    m_bScanning = false;
    m_capture.Stats()->Reset(); // the statistics' totals count from this opening
    m_capture.SetBoard(m_hBoard);
    m_pApBuffer.reset();
    m_capture.ClearRequests();
    m_shownPicture = QImage();
    if (!m_repaintTimer) {
        m_repaintTimer = std::make_unique<QTimer>();
        m_repaintTimer->setSingleShot(true);
        QObject::connect(m_repaintTimer.get(), &QTimer::timeout, [this] { RefreshPicture(); });
    }

    EnableDumpView(false);
    SetDlgItemText(IDC_STOP_TIMEOUT, "0");
    SetDlgItemText(IDC_LINES_PER_FRAME, "1024");
    SetDlgItemText(IDC_PIXELS_PER_LINE, "1024");
    SetDlgItemText(IDC_START_COUNT, "1");
    SetDlgItemText(IDC_HOOK_SLEEP, "0");
    m_nHookSleepMs = 0;

    ComboInsertString(IDC_SCAN_KIND, 0, "矩形");
    ComboInsertString(IDC_SCAN_UNIT, 0, "フレーム単位");
    ComboInsertString(IDC_SCAN_UNIT, 1, "ライン単位");
    ComboInsertString(IDC_PIXEL_SIZE, 0, "8bit");
    ComboInsertString(IDC_PIXEL_SIZE, 1, "16bit");
    ComboInsertString(IDC_PIXEL_SIZE, 2, "32bit");
    ComboSetCurSel(IDC_SCAN_KIND, 0);
    ComboSetCurSel(IDC_SCAN_UNIT, 0);
    ComboSetCurSel(IDC_PIXEL_SIZE, 0);

    CheckRadioButton(IDC_START_BY_BUTTON, IDC_START_BY_DSP, IDC_START_BY_BUTTON);
    SetDlgItemText(IDC_HOOK_CALLS, "0");
    EditLimitText(IDC_LOG, 0);
    EnableDlgItem(IDC_ISSUE_REQUEST, false);

    CheckRadioButton(IDC_ISSUE_AUTO, IDC_ISSUE_MANUAL, IDC_ISSUE_AUTO);
    m_bAutoIssue = true;
    CheckRadioButton(IDC_ISSUE_BEFORE_START, IDC_ISSUE_AFTER_START, IDC_ISSUE_BEFORE_START);
    m_bIssueBeforeStart = true;
    CheckRadioButton(IDC_HOOK_ISSUE_ON, IDC_HOOK_ISSUE_OFF, IDC_HOOK_ISSUE_ON);
    m_bHookIssue = true;
    CheckRadioButton(IDC_BUFFER_AP, IDC_BUFFER_DRIVER, IDC_BUFFER_DRIVER);
    m_bApBuffer = false;

    m_image.Allocate(kBufferSize); // checked at Start

    SetDlgItemText(IDC_START_DELAY, "0");
    m_nStartDelayMs = 0;
    SetDlgItemText(IDC_CLKOUT_WAIT, "1");
    m_nClkoutWait = 1;
    SetDlgItemText(IDC_REQUEST_COUNT, "1");
    m_nRequestCount = 1;
    UpdateReissue();
    SetDlgItemText(IDC_LINE_INT_INTERVAL, "1");

    m_hAcquireEvent.Reset();
    m_hReleaseEvent.Reset();
    m_hQuitEvent.Reset();
    m_hWorker = std::make_unique<ExclusiveRightWorker>(m_hBoard, m_hAcquireEvent, m_hReleaseEvent,
                                                       m_hQuitEvent);

    m_mailbox.Open([this] { OnUiWake(); }, [this] { FlushLog(ScanMailbox::kAll); });
    m_mailbox.SetLogRoom(LogRoom());
    m_life = Life::Open;
    m_requestUser.Open(session::DeliveryOf(m_hBoard));
    m_toolLink.Open(m_hBoard);
    return true;
}

void CRectScanDlg::OnHookSleepChanged()
{
    m_nHookSleepMs = GetDlgItemNumber(IDC_HOOK_SLEEP, 10);
}

void CRectScanDlg::OnStartByButton()
{
    SetDlgItemText(IDC_START, "開始");
}

void CRectScanDlg::OnStartByDsp()
{
    SetDlgItemText(IDC_START, "初期化");
}

void CRectScanDlg::OnIssueAuto()
{
    EnableDlgItem(IDC_ISSUE_REQUEST, false);
    m_bAutoIssue = true;
    UpdateReissue();
}

void CRectScanDlg::OnIssueManual()
{
    EnableDlgItem(IDC_ISSUE_REQUEST, true);
    m_bAutoIssue = false;
    UpdateReissue();
}

void CRectScanDlg::OnHookIssueOn()
{
    m_bHookIssue = true;
    UpdateReissue();
}

void CRectScanDlg::OnHookIssueOff()
{
    m_bHookIssue = false;
    UpdateReissue();
}

// Keeps one request in flight per completed request, of the AP buffer's share. A count of 0 has
// no share: no re-issue.
void CRectScanDlg::UpdateReissue()
{
    const std::uint32_t count = m_nRequestCount;
    m_capture.SetReissue(m_bAutoIssue && m_bHookIssue && count >= 1, count >= 1 ? kBufferSize / count : 0);
}

void CRectScanDlg::OnBufferAp()
{
    if (!m_pApBuffer) {
        m_pApBuffer = fw::ZeroBlock(kRequestBufferSize);
        if (!m_pApBuffer) {
            fw::MessageBox(this, "バッファコピー用のメモリ確保ができませんでした。", std::nullopt,
                           fw::MsgIcon::Stop);
            return;
        }
    }
    m_bApBuffer = true;
}

void CRectScanDlg::OnBufferDriver()
{
    ReleaseApBuffer();
    m_bApBuffer = false;
}

// Takes the AP buffer away. The library may still hold requests into it (issued by a batch or
// by the hook's re-issue): those are marked retired, so the hook issues no more, and the buffer
// is handed back for the caller to retire or give back. Empty when no request named it: it has
// been freed.
fw::ZeroBlock CRectScanDlg::TakeApBuffer()
{
    fw::ZeroBlock block = std::move(m_pApBuffer);
    m_pApBuffer.reset();
    if (!block)
        return block;
    const std::uint8_t *begin = block.data();
    const std::uint8_t *end = begin + block.size();
    if (!m_capture.RetireRequests(begin, end))
        block.reset();
    return block;
}

// A buffer still named by requests is retired rather than freed, and the requests are not
// cleared here: that would drop the other tools' requests too.
void CRectScanDlg::ReleaseApBuffer()
{
    session::RetireRequestBuffer(m_hBoard, TakeApBuffer());
}

// ---- Start (UI thread) ----

void CRectScanDlg::IssueRequestBatch()
{
    std::uint8_t *ap = m_bApBuffer && m_pApBuffer ? m_pApBuffer.data() : nullptr;
    ops::IssueRequestBatch(m_hBoard, m_nRequestCount, ap, kRequestBufferSize,
                           [this](const std::uint8_t *buffer, std::uint32_t size) {
                               // before the library can deliver into it
                               m_capture.RegisterRequest(buffer, size);
                           });
}

void CRectScanDlg::OnStart()
{
    auto abandon = [this](const char *text) {
        fw::MessageBox(this, text, std::nullopt, fw::MsgIcon::Stop);
    };
    if (!m_image.Present()) {
        abandon("画像バッファのメモリ確保ができていないため、Scanを開始できません。");
        return;
    }
    // The library queues a limited number of requests; a larger batch would only hold the
    // dialog up (10,000,000 requests take seconds) before the board refuses them.
    if (GetDlgItemNumber(IDC_REQUEST_COUNT, 10) > kMaxRequestCount) {
        abandon("取得要求発行回数が大き過ぎます。(最大4096)");
        return;
    }

    SetDlgItemText(IDC_HOOK_CALLS, "0");
    m_image.Empty(); // the blank buffer draws a black picture
    m_nHookCalls = 0;
    m_capture.Stats()->BeginRun(); // rates and intervals describe this scan, not the wait before it

    const std::uint32_t lines = GetDlgItemNumber(IDC_LINES_PER_FRAME, 10);
    const std::uint32_t pixels = GetDlgItemNumber(IDC_PIXELS_PER_LINE, 10);
    m_nStartCount = GetDlgItemNumber(IDC_START_COUNT, 10);

    SetDlgItemText(IDC_LOG, "");
    m_mailbox.StartOver(LogRoom());
    m_bLogFullNoted = false;

    m_nStartDelayMs = GetDlgItemNumber(IDC_START_DELAY, 10);
    m_nClkoutWait = GetDlgItemNumber(IDC_CLKOUT_WAIT, 10);
    m_nRequestCount = GetDlgItemNumber(IDC_REQUEST_COUNT, 10);
    UpdateReissue();

    if (ComboGetCurSel(IDC_SCAN_KIND) == 0)
        m_nScanKind = SCAN_KIND_AREA;
    switch (ComboGetCurSel(IDC_SCAN_UNIT)) {
    case 0: m_nScanUnit = SCAN_UNIT_FRAME; break;
    case 1: m_nScanUnit = SCAN_UNIT_LINE; break;
    default: break;
    }
    switch (ComboGetCurSel(IDC_PIXEL_SIZE)) {
    case 0: m_nPixelBytes = 1; break;
    case 1: m_nPixelBytes = 2; break;
    case 2: m_nPixelBytes = 4; break;
    default: break;
    }
    const ScanGeometry geometry{lines, pixels, m_nPixelBytes, m_nScanUnit};
    m_capture.SetGeometry(geometry);
    m_image.SetGeometry(geometry);

    ops::AreaScanParams params;
    params.lines = lines;
    params.pixels = pixels;
    params.scanKind = m_nScanKind;
    params.unitFlags = m_nScanUnit;
    if (IsDlgButtonChecked(IDC_NO_MASK_OPEN_DELAY))
        params.unitFlags |= SCAN_NO_MASK_OPEN_DELAY;
    params.pixelBytes = m_nPixelBytes;
    params.lineInterval = GetDlgItemNumber(IDC_LINE_INT_INTERVAL, 10, 255);
    params.dspStart = IsDlgButtonChecked(IDC_START_BY_BUTTON);
    params.startCount = m_nStartCount;
    params.clkoutWait = m_nClkoutWait;
    params.startDelayMs = m_nStartDelayMs;
    params.autoIssue = m_bAutoIssue;
    params.issueBeforeStart = m_bIssueBeforeStart;
    params.requestCount = m_nRequestCount;

    ops::AreaScanHooks hooks;
    hooks.clearRequests = [this] {
        const std::int32_t status = session::ClearImageRequests(m_hBoard);
        if (status == 0) // the library holds none of our requests any more
            m_capture.ClearRequests();
        return status;
    };
    hooks.issueBatch = [this](std::uint32_t) { IssueRequestBatch(); };
    hooks.prepared = [this] {
        m_bScanning = true;
        if (m_hScanEvent)
            m_hScanEvent->Reset();
        EnableDumpView(false);
        EnableDlgItem(IDC_FRAME_STOP, true);
    };
    hooks.sleep = [](std::uint32_t ms) { fw::Sleep(ms); }; // blocks the dialog on purpose

    const ops::Result result = ops::StartAreaScan(m_hBoard, params, hooks);
    if (!result.ok()) {
        ShowResult(this, result);
        return;
    }

    // A running scan is never programmed twice: Start comes back with a successful stop.
    EnableDlgItem(IDC_START, false);
}

// ---- Requests and exclusive right (UI thread) ----

void CRectScanDlg::OnIssueRequest()
{
    if (ImageRequest(m_hBoard, nullptr, 0) != 0) {
        fw::MessageBox(this, "矩形データ取得要求が失敗しました。", std::nullopt, fw::MsgIcon::Stop);
        return;
    }
    AddLogStamped("  --> 画像取得要求発行\r\n");
}

void CRectScanDlg::OnAcquireExclusive()
{
    m_hAcquireEvent.Set();
    AddLogStamped("  --> 排他権獲得実行\r\n"); // logged before the worker has made the call
}

void CRectScanDlg::OnReleaseExclusive()
{
    m_hReleaseEvent.Set();
    AddLogStamped("  <-- 排他権開放実行\r\n");
}

// ---- Hand-over to the UI thread ----

void CRectScanDlg::OnUiWake()
{
    const bool pictureDirty = m_mailbox.BeginWake();
    FlushLog(ScanMailbox::kSliceBytes);
    if (IsWindow())
        SetDlgItemText(IDC_HOOK_CALLS, std::to_string(m_nHookCalls.load()));
    if (!pictureDirty)
        return;
    const std::int64_t since = NowMs() - m_lastRefreshMs;
    if (since >= kRefreshIntervalMs)
        RefreshPicture();
    else if (!m_repaintTimer->isActive())
        m_repaintTimer->start(int(kRefreshIntervalMs - since));
}

// UI thread: takes the latest picture. The dirty flag is cleared before the copy, so a delivery
// drawn after the copy always brings another refresh.
void CRectScanDlg::RefreshPicture()
{
    if (!m_mailbox.TakePictureDirty())
        return;
    m_shownPicture = m_image.Picture();
    m_lastRefreshMs = NowMs();
    if (m_inspector)
        m_inspector->ImageChanged(); // follows at the picture's pace
    ++m_nPicturesShown;
    if (QWidget *w = widget())
        w->update(DlgItemRect(IDC_PICTURE));
}

// UI thread: inserts the log text that has arrived from other threads, in arrival order, and
// makes Start available again once the board has said that a scan ended.
// A wake inserts one slice and queues the next, so a click waits for one slice at most however
// far the log has fallen behind. The log keeps everything up to the control's maximum; past it
// the text is dropped where it is posted, and the log says so once.
void CRectScanDlg::FlushLog(std::size_t maxBytes)
{
    const ScanMailbox::Mail mail = m_mailbox.TakeMail(maxBytes);
    if (!IsWindow())
        return;
    if (!mail.log.empty())
        EditReplaceSel(IDC_LOG, mail.log);
    if (mail.logFull && !m_bLogFullNoted) {
        m_bLogFullNoted = true;
        EditReplaceSel(IDC_LOG, "★ ログが上限に達したため、これ以降の記録は省略します。\r\n");
    }
    if (mail.more)
        m_mailbox.Wake();
    if (mail.scanEnded && m_life == Life::Open)
        EnableDlgItem(IDC_START, true);
}

// UI thread: the characters the log may still take in, less room for the note that it is full.
std::size_t CRectScanDlg::LogRoom() const
{
    constexpr int kNoteRoom = 256;
    const int room = EditGetLimitText(IDC_LOG) - EditGetLength(IDC_LOG) - kNoteRoom;
    return room > 0 ? std::size_t(room) : 0;
}

void CRectScanDlg::AddLog(std::string_view text)
{
    const std::string all = m_mailbox.Post(text);
    if (!all.empty() && IsWindow())
        EditReplaceSel(IDC_LOG, all);
}

// Callback thread, inside its ScanToolLink (so the mailbox stays open meanwhile).
void CRectScanDlg::AddLogAndWait(std::string_view text)
{
    AddLog(text);
    m_mailbox.SendFlush();
}

// Callback thread, inside its ScanToolLink. Whatever the reason, the scan is over: Start need not
// wait for a stop (a library that refuses to cancel an ended scan would leave it disabled).
void CRectScanDlg::OnScanEnded(std::string_view text)
{
    m_mailbox.MarkScanEnded();
    AddLogAndWait(text);
}

void CRectScanDlg::AddLogStamped(std::string_view text)
{
    std::string line = fw::LocalTimeHms();
    line.append(text);
    AddLog(line);
}

ScanDataCopy CRectScanDlg::CopyImage(std::uint32_t begin, std::uint32_t end) const
{
    return m_image.Copy(begin, end);
}

ScanDataCopy CRectScanDlg::CopyWholeImage() const
{
    return m_image.CopyAll();
}
