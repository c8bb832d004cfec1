// The rectangle-area scan tool (template 133): scan parameters, start sequence, requests,
// exclusive right, the transfer log and the grey picture, stop and close, dump hand-over.
//
// The dialog is a view of its scan capture (ops/ScanCapture.h): the capture keeps the requests,
// re-issues, accounts for lines and statistics and copies into the tool's image (ScanImage).
//
// Threads: every handler runs on the UI thread. The board library's callback threads enter
// through the dialog's ScanToolLink (scan/ScanToolLink.h) and call OnImageTransfer / OnScanEnded; they
// never touch a widget: log text and the picture are handed to the UI thread through the
// mailbox (scan/ScanMailbox.h), one queued wake at a time.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "framework/Event.h"
#include "framework/HeapBlock.h"
#include "scan/ExclusiveRightWorker.h"
#include "scan/ScanImage.h"
#include "scan/ScanMailbox.h"
#include "scan/ScanPicture.h"
#include "scan/ScanToolLink.h"
#include "ops/ScanCapture.h"
#include "session/RequestBuffers.h"
#include "tools/ScanDataSource.h"

#include <QImage>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QTimer;
class PictureInspector;
class TransferStatsDlg;

class CRectScanDlg : public fw::Dialog, public ScanDataSource {
public:
    static constexpr std::uint32_t kBufferSize = 0x2000000; // AP buffer and image buffer, 32 MB
    static constexpr std::uint32_t kMaxRequestCount = 4096; // requests the library queues at once

    CRectScanDlg();
    ~CRectScanDlg() override;

    // The main menu's wind-down: the whole close sequence when the window is open, else nothing.
    void WindDown();

    // Set by the main menu before Create().
    BoardHandle m_hBoard = 0;
    fw::AutoResetEvent *m_hScanEvent = nullptr;
    fw::WindowHandle m_hMenuWnd = 0;

    // Board library callback thread, inside its ScanToolLink: one delivery. Returns the hook
    // sleep time (ms) that the caller sleeps after leaving the dialog.
    std::uint32_t OnImageTransfer(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                         std::uint32_t bufferKind, const std::uint8_t *data);
    // Board library callback thread, inside its ScanToolLink: the scan-end notification's log
    // line; Start becomes available again once it is in.
    void OnScanEnded(std::string_view text);
    // Any thread: adds text to the log (inserted at once on the UI thread, else queued).
    void AddLog(std::string_view text);

    // The captured bytes as they stand now: the image lock is held for the
    // copy only, so the dump view may talk to the user afterwards. No data once released.
    ScanDataCopy CopyImage(std::uint32_t begin, std::uint32_t end) const override;
    ScanDataCopy CopyWholeImage() const override;

    // The capture behind the view: its delivery book-keeping and the image it fills.
    const ops::ScanCapture &Capture() const { return m_capture; }
    const ScanImage &Image() const { return m_image; }
    // UI thread, what the view shows: the picture in control 1055 (null image before the first
    // Start), the open picture inspector and the transfer statistics window (null when none).
    QImage ShownPicture() const { return m_shownPicture; }
    PictureInspector *Inspector() const;
    TransferStatsDlg *TransferStatsWindow() const { return m_pTransferStatsDlg.get(); }
    // UI thread: opens (or raises) the transfer statistics window, as the picture's context
    // menu does.
    void OpenTransferStats();

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnPaint(QPainter &painter) override;
    void OnDestroy() override;

private:
    // Handlers (UI thread).
    void OnStart();
    void OnFrameStop() { StopScan(CANCEL_FRAME); }
    void OnLineStop() { StopScan(CANCEL_LINE); }
    void OnDumpView();
    void OnIssueRequest();
    void OnAcquireExclusive();
    void OnReleaseExclusive();
    void OnStartByButton();
    void OnStartByDsp();
    void OnIssueAuto();
    void OnIssueManual();
    void OnIssueBeforeStart() { m_bIssueBeforeStart = true; }
    void OnIssueAfterStart() { m_bIssueBeforeStart = false; }
    void OnHookIssueOn();
    void OnHookIssueOff();
    void OnBufferAp();
    void OnBufferDriver();
    void OnHookSleepChanged();

    // The picture's context menu entries, each in a file of its own. An entry is greyed out
    // until there is captured data.
    fw::ContextMenuEntry PngSaveEntry();  // RectScanPngEntry.cpp
    bool CanSavePicturePng() const;
    void OnSavePicturePng();
    fw::ContextMenuEntry InspectorEntry(); // RectScanInspectorEntry.cpp
    bool CanInspectPicture() const;
    void OnInspectPicture();

    // Board library callback thread, inside its ScanToolLink: adds text to the log and returns
    // once the UI thread has inserted it (the log may be gone by then: the text is then lost).
    void AddLogAndWait(std::string_view text);

    bool StopScan(std::uint32_t kind); // true when ScanCancel succeeded
    void UpdateReissue(); // the hook's re-issue setting from the issue mode, re-issue and count
    void IssueRequestBatch();
    fw::ZeroBlock TakeApBuffer(); // the AP buffer while requests may name it, else empty
    void ReleaseApBuffer();       // frees the AP buffer, or retires it while requests may name it
    bool ReleaseSteps(); // steps 1-5 of the close sequence; false when they had run already
    void CloseTool();    // the whole close: release, destroy the window, notify the main menu
    void AddLogStamped(std::string_view text);
    void OpenDumpAt(std::uint32_t offset); // the inspector's dump: the dump view from offset
    void EnableDumpView(bool enable);      // the dump button and the inspector's dump entries
    void CloseInspector();                 // at the release steps

    // UI side of the hand-over (UI thread).
    void OnUiWake();
    void RefreshPicture();
    void FlushLog(std::size_t maxBytes);
    std::size_t LogRoom() const;

    // UI-thread state.
    bool m_bScanning = false;
    bool m_bLogFullNoted = false; // UI thread: the log has said that it is full
    bool m_bIssueBeforeStart = true;
    bool m_bApBuffer = false;
    bool m_bAutoIssue = true;
    bool m_bHookIssue = true;
    std::uint32_t m_nRequestCount = 1;
    std::uint32_t m_nScanUnit = SCAN_UNIT_FRAME;
    std::uint32_t m_nPixelBytes = 1;
    // Where the tool is in its life. Handlers act only while Open; the release steps run once
    // per opening (their waits pump events, so a second close may arrive while Releasing).
    enum class Life { Closed, Open, Releasing };
    Life m_life = Life::Closed; // Closed: never opened, or the release steps are done
    std::uint32_t m_nScanKind = 0;
    std::uint32_t m_nStartCount = 0;
    std::uint32_t m_nStartDelayMs = 0;
    std::uint32_t m_nClkoutWait = 1;
    fw::ZeroBlock m_pApBuffer;                // present only while AP mode is chosen
    ops::RequestUser m_requestUser;           // open from initialisation to the release steps
    QImage m_shownPicture;                    // what control 1055 shows
    std::unique_ptr<QTimer> m_repaintTimer;   // paces picture refreshes to the screen rate
    std::int64_t m_lastRefreshMs = 0;
    QPointer<PictureInspector> m_inspector;   // its own window; clears itself when it goes
    std::uint64_t m_nPicturesShown = 0;       // picture refreshes, for the transfer statistics
    std::unique_ptr<TransferStatsDlg> m_pTransferStatsDlg; // closed with the tool

    // Read by the callback threads, written by the UI thread.
    std::atomic<std::uint32_t> m_nHookCalls{0};
    std::atomic<std::uint32_t> m_nHookSleepMs{0}; // field 1062, mirrored on every edit

    // The image buffer, its geometry, the valid byte count and the picture, under its own lock;
    // the capture copies deliveries into it. The capture keeps the requests this tool issued,
    // the re-issue settings, the line account (in g_nHookLineTotal) and the statistics, which
    // it shares with the statistics window. Content checks stay off.
    ScanImage m_image;
    ops::ScanCapture m_capture;

    // The hand-over to the UI thread: log text, the picture's dirty flag, the scan's end, one
    // queued wake at a time.
    ScanMailbox m_mailbox;

    fw::AutoResetEvent m_hAcquireEvent;
    fw::AutoResetEvent m_hReleaseEvent;
    fw::AutoResetEvent m_hQuitEvent;
    std::unique_ptr<ExclusiveRightWorker> m_hWorker;

    // Last, so it goes first: however the dialog goes, no callback is inside it when its
    // members do.
    ScanToolLink m_toolLink{*this};           // callbacks reach the dialog through it only
};
