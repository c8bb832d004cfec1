#include "display/NtscViewDlg.h"

#include "display/NtscHook.h"
#include "display/NtscOverlay.h"
#include "framework/MessageBox.h"
#include "framework/UiThread.h"
#include "ops/CapturePrepare.h"
#include "res/Resources.h"
#include "session/RequestBuffers.h"
#include "tools/ShowResult.h"
#include "tools/TransferStatsDlg.h"
#include "tools/TransferStatsMenu.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <system_error>
#include <utility>

using namespace res::ntsc;

namespace {

constexpr int kKeyFields[3] = {IDC_KEY_RED, IDC_KEY_GREEN, IDC_KEY_BLUE};

// UI thread: keeps the screen position of the window's client origin where the callback
// threads can read it, since they may not ask the window themselves.
class ScreenOriginWatcher : public QObject {
public:
    ScreenOriginWatcher(QWidget *window, std::atomic<std::uint64_t> &origin)
        : window_(window), origin_(origin)
    {
        window->installEventFilter(this);
        Update();
    }
    ~ScreenOriginWatcher() override
    {
        if (window_)
            window_->removeEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type t = event->type();
        if (t == QEvent::Move || t == QEvent::Show || t == QEvent::Resize)
            Update();
        return false;
    }

private:
    void Update()
    {
        if (window_)
            origin_.store(PackScreenPoint(window_->mapToGlobal(QPoint(0, 0))));
    }
    QPointer<QWidget> window_;
    std::atomic<std::uint64_t> &origin_;
};

} // namespace

CNtscViewDlg::CNtscViewDlg() : fw::Dialog(res::IDD_NTSC_VIEW)
{
    // Handlers that may pump events do not run inside one another; a close asked for meanwhile
    // runs when the handler has finished.
    auto bind = [this](int id, void (CNtscViewDlg::*handler)()) {
        OnCommand(id, [this, handler] { RunHandler(handler); });
    };
    bind(IDC_START, &CNtscViewDlg::OnStart);
    bind(IDC_STOP, &CNtscViewDlg::OnStopButton);
    bind(IDC_OVERLAY, &CNtscViewDlg::OnOverlay);
    bind(IDC_BMP, &CNtscViewDlg::OnBitmap);
    for (int id : kKeyFields)
        OnCommand(id, fw::EN_CHANGE, [this] { OnKeyChanged(); });
    // Additions beside the template: the picture's context menu.
    AddContextMenu(IDC_PICTURE, [this](QPoint) {
        return std::vector<fw::ContextMenuEntry>{PngSaveEntry()};
    });
    AddTransferStatsMenu(*this, IDC_PICTURE, [this] { OpenTransferStats(); });
}

void CNtscViewDlg::RunHandler(void (CNtscViewDlg::*handler)())
{
    if (m_bClosed || m_bBusy)
        return;
    m_bBusy = true;
    (this->*handler)();
    m_bBusy = false;
    if (m_bCloseRequested)
        EndTool();
}

CNtscViewDlg::~CNtscViewDlg()
{
    // Normally the close sequence has run; this keeps a forgotten dialog from outliving it.
    CloseSequence();
    m_pTransferStatsDlg.reset();
    if (IsWindow())
        DestroyWindow();
}

// ---- Initialisation (UI thread) ----

bool CNtscViewDlg::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    m_capture.SetRunning(false);
    m_bOverlay = false;
    m_bClosed = false;
    m_bBusy = false;
    m_bCloseRequested = false;
    m_bRequestsIssued = false;
    // The picture is drawn over no background of its own: the window fills the rest itself.
    widget()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_capture.Stats().Reset(); // the statistics' totals count from this opening
    // Bitmap mode's frame wake runs on the UI thread; once closed, a wake still queued does nothing.
    m_frameWake.Open([](std::function<void()> wake) { fw::PostToUi(std::move(wake)); },
                     [this] { OnFrameWake(); });
    m_requestUser.Open(session::DeliveryOf(m_hBoard));
    m_originWatcher = std::make_unique<ScreenOriginWatcher>(widget(), m_screenOrigin);
    m_repaintTimer = std::make_unique<QTimer>();
    m_repaintTimer->setSingleShot(true);
    QObject::connect(m_repaintTimer.get(), &QTimer::timeout, [this] { RepaintPicture(); });
    m_toolLink.Open(m_hBoard);

    for (int id : kKeyFields)
        SetDlgItemText(id, std::to_string(192));
    EnableDlgItem(IDC_STOP, false);
    CheckDlgButton(IDC_BMP, true);
    SetDlgItemText(IDC_BUFFER_SIZE, "0");
    return true;
}

void CNtscViewDlg::OnKeyChanged()
{
    for (int i = 0; i < 3; ++i)
        m_keyField[i] = GetDlgItemNumber(kKeyFields[i], 10, 15);
}

// ---- Start and Stop (UI thread) ----

void CNtscViewDlg::OnStart()
{
    auto fail = [this](const char *text) {
        fw::MessageBox(this, text, std::nullopt, fw::MsgIcon::Stop);
    };
    m_dwBufferSize = GetDlgItemNumber(IDC_BUFFER_SIZE, 16, 15);
    if (m_dwBufferSize > kMaxBufferSize) {
        fail("バッファサイズが大き過ぎます。");
        return;
    }
    // The capture learns the new buffers before the old ones go, so a delivery never reads a
    // block that has gone.
    fw::ZeroBlock oldA, oldB;
    if (m_dwBufferSize != 0) {
        fw::ZeroBlock newA(m_dwBufferSize), newB(m_dwBufferSize);
        m_capture.SetRequestBuffers(newA.data(), std::uint32_t(newA.size()), newB.data(),
                                    std::uint32_t(newB.size()), m_dwBufferSize);
        oldA = std::exchange(m_pBufferA, std::move(newA));
        oldB = std::exchange(m_pBufferB, std::move(newB));
    } else {
        m_capture.SetRequestBuffers(m_pBufferA.data(), std::uint32_t(m_pBufferA.size()),
                                    m_pBufferB.data(), std::uint32_t(m_pBufferB.size()), 0);
    }
    m_capture.MakeFrame();
    // Requests of an earlier Start may still name the old buffers (one that failed after
    // issuing them leaves them queued, and a running scan fills them): they are retired until
    // the clear below, or a later one, has dropped those requests.
    session::RetireRequestBuffer(m_hBoard, std::move(oldA));
    session::RetireRequestBuffer(m_hBoard, std::move(oldB));

    // Ten requests, A and B in turn, between the clear and ScanPrepare; the results are not
    // looked at.
    ops::CaptureSetup capture = ops::LiveCaptureSetup();
    capture.clearRequests = [this] { return session::ClearImageRequests(m_hBoard); };
    capture.issueRequests = [this] {
        m_bRequestsIssued = true;
        ops::RequestTurn turn(m_pBufferA.data(), m_pBufferB.data());
        for (int i = 0; i < 10; ++i) {
            std::uint8_t *buffer = turn.Next();
            ImageRequest(m_hBoard, buffer, buffer ? m_dwBufferSize : 0);
        }
    };
    m_capture.Stats().BeginRun(); // rates and intervals describe this run, not the wait before it
    const ops::Result prepared = ops::PrepareCapture(m_hBoard, capture);
    if (!prepared.ok()) {
        ShowResult(this, prepared);
        return;
    }
    m_capture.SetRunning(true);
    EnableDlgItem(IDC_START, false);
    EnableDlgItem(IDC_STOP, true);

    StopThread(); // an earlier run's thread has ended before the events are reset
    m_frameEvent.Reset();
    m_stopEvent.Reset();
    ImageRequestThread::Setup setup;
    setup.board = m_hBoard;
    setup.size = m_dwBufferSize;
    setup.bufferA = m_pBufferA.data();
    setup.bufferB = m_pBufferB.data();
    setup.owner = GetSafeHwnd();
    try {
        m_hThread = std::make_unique<ImageRequestThread>(setup, m_frameEvent, m_stopEvent,
                                                         m_hFrameEvent);
    } catch (const std::system_error &) {
        // Running stays on and Stop stays enabled, so Stop brings the dialog back to idle.
        fail("画像データ取得要求スレッドの生成が失敗しました。");
        return;
    }
    if (IoWriteLong(m_hBoard, REG_DIO_IMG_GETMODE, 3) != 0)
        fail("レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)");
}

void CNtscViewDlg::OnStopButton()
{
    OnStop();
}

// Waits pumping, since the thread may be showing a message box; a handler run by that wait may
// stop it again. The stop event belongs to the dialog, so a thread that has not reached its wait
// yet still finds the signal there. The ended thread's object stays until the next Start or the
// dialog's end, so a stop under way never loses it.
void CNtscViewDlg::StopThread()
{
    if (m_hThread)
        m_hThread->Stop();
}

bool CNtscViewDlg::OnStop()
{
    StopThread();
    if (IoWriteLong(m_hBoard, REG_DIO_IMG_GETMODE, 0) != 0) {
        fw::MessageBox(this, "レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)", std::nullopt,
                       fw::MsgIcon::Stop);
        return false;
    }
    EnableDlgItem(IDC_START, true);
    EnableDlgItem(IDC_STOP, false);
    m_capture.SetRunning(false);
    return true;
}

// ---- Display mode (UI thread) ----

void CNtscViewDlg::OnOverlay()
{
    // Selecting overlay again while it is on keeps the surface it has.
    if (m_bOverlay)
        return;
    OverlayInit();
    const OverlaySurfaceSize size{OVERLAY_WIDTH, OVERLAY_HEIGHT};
    std::uint32_t reserved = 0;
    const OverlaySurface surface = OverlayCreateSurface(&size, &reserved);
    {
        std::unique_lock<std::mutex> lock = LockOverlayPumping();
        g_hOverlaySurface = surface;
    }
    if (surface == 0) {
        fw::MessageBox(this, "サーフェス生成に失敗しました。", std::nullopt, fw::MsgIcon::Stop);
        OverlayTerm();
        return;
    }
    Invalidate();
    m_bOverlay = true;
}

void CNtscViewDlg::OnBitmap()
{
    if (!m_bOverlay)
        return;
    DestroySurface();
    if (QWidget *w = widget())
        w->update(PictureRect());
}

// The surface goes under the overlay lock, so no callback is drawing into it meanwhile, and its
// handle goes with it, so a callback that still saw overlay mode finds no surface.
void CNtscViewDlg::DestroySurface()
{
    m_bOverlay = false;
    {
        std::unique_lock<std::mutex> lock = LockOverlayPumping();
        OverlayDestroySurface(g_hOverlaySurface);
        g_hOverlaySurface = 0;
    }
    OverlayTerm();
}

// ---- Close (UI thread) ----

// Live video and the request thread stop while the dialog still takes the deliveries; then no
// callback can reach the dialog, and none is inside it, before the buffers and the surface go.
// The requests that name our buffers are dropped first when no other tool that issues requests
// is open; else they are left to that tool's next clear (or the board's close), and the request
// buffers are retired until then, so the other tool's requests are never dropped under it.
void CNtscViewDlg::CloseSequence()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (m_capture.Running()) {
        OnStop();
        m_capture.SetRunning(false);
    }
    StopThread(); // there is none unless running; kept for a dialog released some other way
    bool named = m_bRequestsIssued;
    if (named && m_requestUser.Alone() && session::ClearImageRequests(m_hBoard) == 0)
        named = false;
    m_bRequestsIssued = false;

    m_toolLink.Shut();
    m_toolLink.WaitUntilNoneInside();

    m_capture.DropFrame();
    m_capture.SetRequestBuffers(nullptr, 0, nullptr, 0, 0);
    fw::ZeroBlock bufferA = std::move(m_pBufferA);
    fw::ZeroBlock bufferB = std::move(m_pBufferB);
    if (named) {
        session::RetireRequestBuffer(m_hBoard, std::move(bufferA));
        session::RetireRequestBuffer(m_hBoard, std::move(bufferB));
    }
    m_requestUser.Close();
    if (m_bOverlay)
        DestroySurface();
    m_frameWake.Close();
    if (m_repaintTimer)
        m_repaintTimer->stop();
    m_repaintTimer.reset();
    m_originWatcher.reset();
    m_pTransferStatsDlg.reset(); // it reads the board: it goes with the display
}

void CNtscViewDlg::EndTool()
{
    if (m_bBusy) {
        m_bCloseRequested = true;
        return;
    }
    m_bCloseRequested = false;
    if (!IsWindow())
        return;
    CloseSequence();
    EndDialog(fw::IDCANCEL);
}

void CNtscViewDlg::OnOK()
{
    EndTool();
}

void CNtscViewDlg::OnCancel()
{
    EndTool();
}

void CNtscViewDlg::OnClose()
{
    EndTool();
}

void CNtscViewDlg::OnDestroy()
{
    // The window going by other hands still runs the close sequence.
    CloseSequence();
}
