// The live NTSC display (template 130): a view of a live capture (ops::LiveCapture) kept going
// by ImageRequestThread, shown as a bitmap in the picture frame or through the overlay surface.
//
// Threads: every handler and the paint run on the UI thread. The board library's callback
// threads reach the dialog only through its NtscToolLink (display/NtscHook.h)
// and call OnFrameArrived; they never touch a widget. The capture copies the frame; the dialog
// then wakes the UI thread (bitmap mode) or presents it through the overlay library (overlay
// mode).
#pragma once

#include "board/pel2ctl.h"
#include "display/ImageRequestThread.h"
#include "display/NtscHook.h"
#include "framework/Dialog.h"
#include "framework/Event.h"
#include "framework/HeapBlock.h"
#include "ops/LatestMailbox.h"
#include "ops/LiveCapture.h"
#include "session/RequestBuffers.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QObject;
class QTimer;
class TransferStatsDlg;

class CNtscViewDlg : public fw::Dialog, private ops::LiveCapture::Client {
public:
    static constexpr std::uint32_t kFrameWidth = ops::kVideoWidth;
    static constexpr std::uint32_t kFrameHeight = ops::kVideoHeight;
    static constexpr std::uint32_t kFrameBytes = ops::kVideoFrameBytes; // 921,600
    static constexpr std::uint32_t kMaxBufferSize = 0x100000;

    CNtscViewDlg();
    ~CNtscViewDlg() override;

    // Set by the main menu before DoModal().
    BoardHandle m_hBoard = 0;

    // Board library callback thread, inside its NtscToolLink: one delivery (Frame arrival).
    void OnFrameArrived(std::uint32_t flags, std::uint32_t bufferKind, const std::uint8_t *data);

    // What the display shows and runs (UI thread): the capture, the display mode and colour key,
    // the request thread, the statistics window while it exists (nullptr when none).
    const ops::LiveCapture &Capture() const { return m_capture; }
    bool IsOverlay() const { return m_bOverlay.load(); }
    std::uint32_t KeyRed() const { return m_nKeyRed.load(); }
    bool ThreadRunning() const { return m_hThread != nullptr && !m_hThread->Finished(); }
    TransferStatsDlg *TransferStatsWindow() const { return m_pTransferStatsDlg.get(); }

protected:
    bool OnInitDialog() override;
    void OnPaint(QPainter &painter) override;
    QRect OpaquePaintRect() const override;
    // Every way of closing runs the close sequence once.
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    void OnDestroy() override;

private:
    // Board library callback thread, inside the capture's delivery: one more request is due;
    // a frame was copied.
    void Reissue() override;
    void Show(const std::uint8_t *frame) override;

    // The picture's context menu entry "PNG形式で保存..." (UI thread, NtscPngEntry.cpp): the
    // frame the picture shows, in colour; greyed out until there is a display buffer.
    fw::ContextMenuEntry PngSaveEntry();
    bool CanSavePicturePng() const;
    void OnSavePicturePng();
    // UI thread: opens (or raises) the transfer statistics window, as the picture's context
    // menu does.
    void OpenTransferStats();

    // Handlers (UI thread).
    void OnStart();
    void OnStopButton();
    bool OnStop(); // true when the image get mode was switched off
    void StopThread();
    void OnOverlay();
    void OnBitmap();
    void OnKeyChanged();
    void OnFrameWake();

    // Runs a handler that may pump events, never inside another; a close asked for meanwhile
    // runs when it has finished.
    void RunHandler(void (CNtscViewDlg::*handler)());
    void CloseSequence(); // once per opening; the window may already be going
    void EndTool();       // the close sequence, then the end of the modal run
    void DestroySurface();
    void ScheduleRepaint();
    void RepaintPicture();
    QPoint OverlayPosition() const; // any thread: where the overlay goes on the screen
    QRect PictureRect() const; // inside the border of control 1023, in dialog pixels
    static void ToPicture(const std::uint8_t *frame, QImage &picture, QSize shown);

    // UI-thread state.
    std::uint32_t m_dwBufferSize = 0;
    ops::RequestUser m_requestUser; // open from initialisation to the close sequence
    bool m_bClosed = true;          // close sequence done (or window never opened)
    bool m_bRequestsIssued = false; // requests may name our buffers
    bool m_bBusy = false;           // inside a handler that may pump events
    bool m_bCloseRequested = false; // a close asked for while busy: run when the handler ends
    std::unique_ptr<QTimer> m_repaintTimer; // paces bitmap repaints to the screen rate
    std::unique_ptr<QObject> m_originWatcher; // keeps m_screenOrigin up to date
    std::int64_t m_lastRepaintMs = 0;
    QImage m_picture;                      // what the picture frame shows in bitmap mode
    std::unique_ptr<TransferStatsDlg> m_pTransferStatsDlg; // closed with the display
    // The request buffers (UI thread; the capture knows them for the deliveries that name them).
    fw::ZeroBlock m_pBufferA;
    fw::ZeroBlock m_pBufferB;

    // The thread's events belong to the dialog, so a late signal never reaches a released one.
    // m_hFrameEvent is published by the thread while it waits for frames; the hook signals it,
    // and only the thread waits for it.
    fw::AutoResetEvent m_frameEvent{fw::AutoResetEvent::Waiters::WorkersOnly};
    fw::AutoResetEvent m_stopEvent;
    std::atomic<fw::AutoResetEvent *> m_hFrameEvent{nullptr};
    std::unique_ptr<ImageRequestThread> m_hThread; // after the events it uses

    // Read by the callback threads, written by the UI thread.
    std::atomic<bool> m_bOverlay{false};
    std::atomic<std::uint32_t> m_keyField[3]{192, 192, 192}; // fields 1071-1073, mirrored on edit
    std::atomic<std::uint32_t> m_nKeyRed{192}, m_nKeyGreen{192}, m_nKeyBlue{192};
    std::atomic<std::uint64_t> m_screenOrigin{0}; // client (0, 0) on the screen, x and y packed
    // Bitmap mode: the frames copied when the last frame was, one wake queued at a time to the
    // UI thread; open from initialisation to the close sequence.
    ops::LatestMailbox<std::uint64_t> m_frameWake;

    // The frames delivered while running: statistics, re-issue, the copy into the display
    // buffer. Its frame is the display buffer; in overlay mode the UI thread presents it under
    // the capture's frame lock, callbacks inside the delivery (which never waits for the UI
    // thread).
    ops::LiveCapture m_capture{*this, false};

    // Last, so it goes first: however the dialog goes, no callback is inside it when its
    // members do.
    NtscToolLink m_toolLink{*this}; // callbacks reach the dialog through it only
};
