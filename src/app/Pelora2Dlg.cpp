#include "app/Pelora2Dlg.h"

#include "app/AboutDlg.h"
#include "app/BoardCallbacks.h"
#include "app/MainMenuDlg.h"
#include "framework/Look.h"
#include "framework/MessageBox.h"
#include "framework/UiThread.h"
#include "ops/OpenFailure.h"
#include "res/Resources.h"
#include "session/RequestBuffers.h"

#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QWidget>

namespace {
constexpr std::uint32_t kAreaOffsets[CPelora2Dlg::kAreaCount] = {
    0, 0x800000, 0x1000000, 0x1800000, 0, 0x800000, 0x1000000};

} // namespace

CPelora2Dlg::CPelora2Dlg() : fw::Dialog(res::IDD_PELORA2_DIALOG)
{
    OnCommand(res::startup::IDC_START, [this] { OnStart(); });
    OnMessage(fw::WM_CLOSE, [this](std::uintptr_t, std::intptr_t) { return OnCloseMessage(); });
}

CPelora2Dlg::~CPelora2Dlg() = default;

bool CPelora2Dlg::OnInitDialog()
{
    const std::string_view about = res::LoadString(res::IDS_ABOUTBOX);
    if (!about.empty())
        AppendSystemMenu(res::IDM_ABOUTBOX, std::string(about));
    if (QWidget *w = widget())
        w->setWindowIcon(res::AppIcon());
    for (int i = 0; i < kAreaCount; ++i)
        m_session.m_dwAreaOffset[i] = kAreaOffsets[i];
    ComboInsertString(res::startup::IDC_BOARD_ID, 0, "0");
    ComboInsertString(res::startup::IDC_BOARD_ID, 1, "1");
    ComboSetCurSel(res::startup::IDC_BOARD_ID, 0);
    m_session.m_hBoard = 0;
    m_session.m_hScanEvent = std::make_unique<fw::AutoResetEvent>();
    return true;
}

void CPelora2Dlg::OnSysCommand(unsigned command)
{
    if ((command & 0xFFF0) == res::IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal(this);
    }
}

void CPelora2Dlg::OnPaint(QPainter &painter)
{
    // Minimized, the window shows the application icon centred in its client area.
    QWidget *w = widget();
    if (!w || !w->isMinimized())
        return;
    const int cx = w->style()->pixelMetric(QStyle::PM_LargeIconSize);
    const int cy = cx;
    const QRect client = ClientRect();
    painter.drawPixmap((client.width() - cx + 1) / 2, (client.height() - cy + 1) / 2,
                       res::AppIconPixmap(cx));
}

void CPelora2Dlg::OnStart()
{
    // The list position; text typed into the edit field is never parsed.
    const int boardIndex = ComboGetCurSel(res::startup::IDC_BOARD_ID);

    if (m_session.m_hBoard != 0) {
        if (CloseBoard() != 0)
            fw::MessageBox(this, "デバイス クローズが失敗しました。");
        m_session.m_hBoard = 0;
    }

    void *first = nullptr;
    void *second = nullptr;
    std::uint32_t error = 0;
    const BoardHandle handle =
        BoardOpen(static_cast<std::uint32_t>(boardIndex), ImageTransferHook, ScanBufferFreeCallback,
                  DspInterruptCallback, ScanEndCallback, &first, &second, &error);
    m_session.m_hBoard = handle;
    if (handle == BOARD_INVALID_HANDLE) {
        fw::MessageBox(this, ops::OpenFailureText(error), std::nullopt, fw::MsgIcon::Stop);
        m_session.m_hBoard = 0;
        return;
    }
    session::BoardOpened(handle); // the board's deliveries and request buffers, until its close
    for (int i = 0; i < 4; ++i)
        m_session.m_pAreaBase[i] = first;
    for (int i = 4; i < kAreaCount; ++i)
        m_session.m_pAreaBase[i] = second;

    ShowWindow(false);
    {
        CMainMenuDlg menu;
        menu.m_hBoard = m_session.m_hBoard;
        menu.m_pSession = &m_session;
        menu.DoModal(this);
        // The menu winds down its modeless tools before it goes (end of this block); the board
        // is closed after that, by the close request posted here.
        PostMessage(GetSafeHwnd(), fw::WM_CLOSE, 0, 0);
    }
}

std::int32_t CPelora2Dlg::CloseBoard()
{
    // BoardClose waits until no callback runs; a callback may be waiting for the UI thread (a
    // message box), so the UI thread keeps processing events meanwhile.
    std::int32_t result = 0;
    const BoardHandle board = m_session.m_hBoard;
    fw::RunWhilePumping([&] { result = BoardClose(board); });
    if (result == 0)
        session::BoardClosed(board); // no request and no callback names a buffer any more
    return result;
}

std::intptr_t CPelora2Dlg::OnCloseMessage()
{
    if (m_session.m_hBoard != 0) {
        if (CloseBoard() != 0)
            fw::MessageBox(this, "デバイス クローズが失敗しました。", std::nullopt, fw::MsgIcon::Stop);
        m_session.m_hBoard = 0; // closed exactly once, whatever else arrives
    }
    m_session.m_hScanEvent.reset(); // no tool holds it any more: the main menu and its tools are gone
    OnClose(); // default processing: ends the dialog as if cancelled
    return 0;
}
