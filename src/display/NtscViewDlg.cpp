#include "display/NtscViewDlg.h"

#include "display/NtscHook.h"
#include "display/NtscOverlay.h"
#include "framework/MessageBox.h"
#include "framework/UiThread.h"
#include "res/Resources.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

using namespace res::ntsc;

namespace {

constexpr unsigned WM_NTSC_FRAME = fw::WM_USER + 0x30; // a frame waits to be drawn
constexpr int kRepaintIntervalMs = 16;                  // bitmap repaints at most at screen rate
constexpr int kOverlayOffsetX = 13;                     // overlay position from the client origin
constexpr int kOverlayOffsetY = 26;
constexpr std::uint32_t kGeometry640 = (480u << 16) | 640u;
constexpr std::uint32_t kGeometry720 = (480u << 16) | 720u;
constexpr int kKeyFields[3] = {IDC_KEY_RED, IDC_KEY_GREEN, IDC_KEY_BLUE};

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::uint64_t PackPoint(QPoint p)
{
    return (std::uint64_t(std::uint32_t(p.x())) << 32) | std::uint32_t(p.y());
}

QPoint UnpackPoint(std::uint64_t v)
{
    return QPoint(int(std::int32_t(std::uint32_t(v >> 32))), int(std::int32_t(std::uint32_t(v))));
}

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
            origin_.store(PackPoint(window_->mapToGlobal(QPoint(0, 0))));
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
        OnCommand(id, [this, handler] {
            if (m_bClosed || m_bBusy)
                return;
            m_bBusy = true;
            (this->*handler)();
            m_bBusy = false;
            if (m_bCloseRequested)
                EndTool();
        });
    };
    bind(IDC_START, &CNtscViewDlg::OnStart);
    bind(IDC_STOP, &CNtscViewDlg::OnStopButton);
    bind(IDC_OVERLAY, &CNtscViewDlg::OnOverlay);
    bind(IDC_BMP, &CNtscViewDlg::OnBitmap);
    for (int id : kKeyFields)
        OnCommand(id, fw::EN_CHANGE, [this] { OnKeyChanged(); });
    OnMessage(WM_NTSC_FRAME, [this](std::uintptr_t, std::intptr_t) -> std::intptr_t {
        OnFrameWake();
        return 0;
    });
}

CNtscViewDlg::~CNtscViewDlg()
{
    // Normally the close sequence has run; this keeps a forgotten dialog from outliving it.
    CloseSequence();
    if (IsWindow())
        DestroyWindow();
}

// ---- Initialisation (UI thread) ----

bool CNtscViewDlg::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    m_bRunning = false;
    m_bOverlay = false;
    m_bClosed = false;
    m_bBusy = false;
    m_bCloseRequested = false;
    m_bRequestsIssued = false;
    m_hWnd = GetSafeHwnd();
    m_originWatcher = std::make_unique<ScreenOriginWatcher>(widget(), m_screenOrigin);
    m_repaintTimer = std::make_unique<QTimer>();
    m_repaintTimer->setSingleShot(true);
    QObject::connect(m_repaintTimer.get(), &QTimer::timeout, [this] { RepaintPicture(); });
    g_pNtscViewDlg.store(this);

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
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (m_dwBufferSize != 0) {
            m_pBufferA.reset();
            m_pBufferB.reset();
            m_pBufferA = fw::ZeroBlock(m_dwBufferSize);
            m_pBufferB = fw::ZeroBlock(m_dwBufferSize);
        }
        m_dwRequestedSize = m_dwBufferSize;
        if (!m_pDisplayBuffer)
            m_pDisplayBuffer = fw::ZeroBlock(kFrameBytes);
    }

    if (IoWriteLong(m_hBoard, REG_MAC_H_UDTCSR, kGeometry640) != 0) {
        fail("レジスタライトが失敗しました。(MAC H-UDTCSR)");
        return;
    }
    if (IoWriteLong(m_hBoard, REG_MAC_L_UDTCSR, kGeometry720) != 0) {
        fail("レジスタライトが失敗しました。(MAC L-UDTCSR)");
        return;
    }
    if (IoWriteLong(m_hBoard, REG_DIO_L_UDTCSR, kGeometry720) != 0) {
        fail("レジスタライトが失敗しました。(DIO L-UDTCSR)");
        return;
    }
    if (ImageRequestClear(m_hBoard) != 0) {
        fail("画像データ取得要求クリアが失敗しました。");
        return;
    }
    // Ten requests, A and B in turn; the results are not looked at.
    m_bRequestsIssued = true;
    for (int round = 0; round < 5; ++round) {
        for (std::uint8_t *buffer : {m_pBufferA.data(), m_pBufferB.data()})
            ImageRequest(m_hBoard, buffer, buffer ? m_dwBufferSize : 0);
    }
    const std::int32_t prepared = ScanPrepare(m_hBoard, SCAN_KIND_AREA, SCAN_UNIT_FRAME, 3, 0);
    if (prepared == BOARD_STATUS_SCAN_FIFO_INIT) {
        fail("走査FIFO初期化エラーが発生しました。");
        return;
    }
    if (prepared != 0) {
        fail("Scan起動準備が失敗しました。");
        return;
    }
    m_bRunning = true;
    EnableDlgItem(IDC_START, false);
    EnableDlgItem(IDC_STOP, true);

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

// Waits pumping, since the thread may be showing a message box.
void CNtscViewDlg::StopThread()
{
    if (!m_hThread)
        return;
    // The stop event belongs to the dialog, so a thread that has not reached its wait yet still
    // finds the signal there.
    m_stopEvent.Set();
    ImageRequestThread *thread = m_hThread.get();
    fw::PumpingWaitUntil([thread] { return thread->Finished(); });
    m_hThread.reset();
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
    m_bRunning = false;
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

// ---- Frame arrival (board library callback thread, inside an NtscToolVisit) ----

// Bytes that may be read from a delivery: a whole frame from the library's own buffer; from one
// of our request buffers no more than was requested; nothing from a buffer we do not know.
// m_frameLock held.
std::uint32_t CNtscViewDlg::DeliveryExtent(std::uint32_t bufferKind,
                                           const std::uint8_t *data) const
{
    if (data == nullptr)
        return 0;
    if (bufferKind == HOOK_BUFFER_LIBRARY)
        return kFrameBytes;
    for (const fw::ZeroBlock *block : {&m_pBufferA, &m_pBufferB})
        if (*block && data == block->data())
            return std::min<std::uint32_t>(m_dwRequestedSize, std::uint32_t(block->size()));
    return 0;
}

void CNtscViewDlg::OnFrameArrived(std::uint32_t flags, std::uint32_t bufferKind,
                                  const std::uint8_t *data)
{
    if (flags == HOOK_FLAG_AREA_SIZE || !m_bRunning)
        return;
    // One more request for every delivered frame, before the copy.
    if (fw::AutoResetEvent *frameEvent = m_hFrameEvent.load())
        frameEvent->Set();

    std::lock_guard<std::mutex> hook(m_hookLock);
    const std::uint8_t *display = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (!m_pDisplayBuffer)
            return;
        // A delivery shorter than a frame replaces only what it brought.
        const std::uint32_t bytes = std::min(DeliveryExtent(bufferKind, data), kFrameBytes);
        if (bytes == 0)
            return;
        std::memcpy(m_pDisplayBuffer.data(), data, bytes);
        display = m_pDisplayBuffer.data();
    }
    m_nFramesCopied.fetch_add(1);

    if (m_bOverlay) {
        // The key fields as last typed (mirrored by the UI thread), low 8 bits each.
        m_nKeyRed = m_keyField[0].load() & 0xFF;
        m_nKeyGreen = m_keyField[1].load() & 0xFF;
        m_nKeyBlue = m_keyField[2].load() & 0xFF;
        // The display buffer has no other writer while m_hookLock is held, and is released
        // only after every callback has left the dialog.
        std::lock_guard<std::mutex> lock(g_overlayLock);
        PresentOverlayLocked(display, OverlayPosition(),
                             OverlayKey{m_nKeyRed.load(), m_nKeyGreen.load(), m_nKeyBlue.load()});
        return;
    }
    // Bitmap mode: the UI thread draws the display buffer; one wake queued at a time.
    if (!m_bWakePending.exchange(true) &&
        !fw::Dialog::PostMessage(m_hWnd.load(), WM_NTSC_FRAME, 0, 0))
        m_bWakePending = false;
}

QPoint CNtscViewDlg::OverlayPosition() const
{
    return UnpackPoint(m_screenOrigin.load()) + QPoint(kOverlayOffsetX, kOverlayOffsetY);
}

// ---- Drawing (UI thread) ----

QRect CNtscViewDlg::PictureRect() const
{
    return DlgItemRect(IDC_PICTURE).adjusted(1, 1, -1, -1);
}

void CNtscViewDlg::OnFrameWake()
{
    // Cleared before the repaint reads the buffer, so a later frame always brings another.
    m_bWakePending = false;
    ScheduleRepaint();
}

void CNtscViewDlg::ScheduleRepaint()
{
    if (!m_repaintTimer)
        return;
    const std::int64_t since = NowMs() - m_lastRepaintMs;
    if (since >= kRepaintIntervalMs)
        RepaintPicture();
    else if (!m_repaintTimer->isActive())
        m_repaintTimer->start(int(kRepaintIntervalMs - since));
}

void CNtscViewDlg::RepaintPicture()
{
    m_lastRepaintMs = NowMs();
    if (QWidget *w = widget())
        w->update(PictureRect());
}

void CNtscViewDlg::OnPaint(QPainter &painter)
{
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (!m_pDisplayBuffer)
            return; // nothing before the first Start
        if (m_bOverlay) {
            // The key as last stored. A callback presenting right now shows the newer frame
            // anyway, and a paint must not wait for it.
            std::unique_lock<std::mutex> overlay(g_overlayLock, std::try_to_lock);
            if (overlay.owns_lock())
                PresentOverlayLocked(
                    m_pDisplayBuffer.data(), OverlayPosition(),
                    OverlayKey{m_nKeyRed.load(), m_nKeyGreen.load(), m_nKeyBlue.load()});
            return;
        }
        // Only a copy under the lock, so the callback thread is never kept from the next frame
        // by the drawing.
        m_paintCopy.assign(m_pDisplayBuffer.data(), m_pDisplayBuffer.data() + kFrameBytes);
    }
    // Unscaled, from the top left inside the frame's border; what does not fit is cut off.
    ToPicture(m_paintCopy.data(), m_picture);
    const QRect target = PictureRect();
    painter.save();
    painter.setClipRect(target);
    painter.drawImage(target.topLeft(), m_picture);
    painter.restore();
}

// B G R bytes to 32-bit pixels here rather than in Qt, whose conversion of a picture this size
// runs on pool threads.
void CNtscViewDlg::ToPicture(const std::uint8_t *frame, QImage &picture)
{
    if (picture.width() != int(kFrameWidth) || picture.height() != int(kFrameHeight) ||
        picture.format() != QImage::Format_RGB32)
        picture = QImage(int(kFrameWidth), int(kFrameHeight), QImage::Format_RGB32);
    for (std::uint32_t y = 0; y < kFrameHeight; ++y) {
        const std::uint8_t *src = frame + std::size_t(y) * kFrameWidth * 3;
        auto *dst = reinterpret_cast<QRgb *>(picture.scanLine(int(y)));
        for (std::uint32_t x = 0; x < kFrameWidth; ++x, src += 3)
            dst[x] = qRgb(src[2], src[1], src[0]);
    }
}

// ---- Close (UI thread) ----

// Live video and the request thread stop while the dialog still takes the deliveries, and the
// requests that name our buffers are dropped; then no callback can reach the dialog, and none
// is inside it, before the buffers and the surface go.
void CNtscViewDlg::CloseSequence()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (m_bRunning) {
        OnStop();
        m_bRunning = false;
    }
    StopThread(); // there is none unless running; kept for a dialog released some other way
    if (m_bRequestsIssued) {
        ImageRequestClear(m_hBoard);
        m_bRequestsIssued = false;
    }

    CNtscViewDlg *self = this;
    g_pNtscViewDlg.compare_exchange_strong(self, nullptr);
    fw::PumpingWaitUntil([] { return !NtscToolBusy(); });

    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_pDisplayBuffer.reset();
        m_pBufferA.reset();
        m_pBufferB.reset();
        m_dwRequestedSize = 0;
    }
    if (m_bOverlay)
        DestroySurface();
    m_hWnd = 0;
    if (m_repaintTimer)
        m_repaintTimer->stop();
    m_repaintTimer.reset();
    m_originWatcher.reset();
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

// ---- Inspection (UI thread) ----

bool CNtscViewDlg::HasDisplayBuffer() const
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return bool(m_pDisplayBuffer);
}

std::vector<std::uint8_t> CNtscViewDlg::DisplayBufferCopy() const
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    if (!m_pDisplayBuffer)
        return {};
    return std::vector<std::uint8_t>(m_pDisplayBuffer.data(),
                                     m_pDisplayBuffer.data() + kFrameBytes);
}
