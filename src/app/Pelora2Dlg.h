// The start-up dialog: the main window. Opens the chosen board, runs the main menu, closes the
// board when the main menu has ended. Owns the values later tools share.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "framework/Event.h"
#include "session/BoardSession.h"

#include <cstdint>
#include <memory>
#include <string>

class CPelora2Dlg : public fw::Dialog {
public:
    CPelora2Dlg();
    ~CPelora2Dlg() override;

    static constexpr int kAreaCount = session::BoardSession::kAreaCount;

    // The board, the scan event, the memory areas and the DSP path the tools share.
    session::BoardSession m_session;

protected:
    bool OnInitDialog() override;
    void OnSysCommand(unsigned command) override;
    void OnPaint(QPainter &painter) override;

private:
    void OnStart();
    std::intptr_t OnCloseMessage();
    std::int32_t CloseBoard();
};
