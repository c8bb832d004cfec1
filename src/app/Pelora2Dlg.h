// The start-up dialog: the main window. Opens the chosen board, runs the main menu, closes the
// board when the main menu has ended. Owns the values later tools share.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "framework/Event.h"

#include <cstdint>
#include <memory>
#include <string>

class CPelora2Dlg : public fw::Dialog {
public:
    CPelora2Dlg();
    ~CPelora2Dlg() override;

    static constexpr int kAreaCount = 7;

    std::unique_ptr<fw::AutoResetEvent> m_hScanEvent; // created at initialisation, handed to the scan tool
    std::string m_strDspFilePath;                    // last DSP program chosen with browse
    void *m_pAreaBase[kAreaCount] = {};              // memory area bases from BoardOpen
    std::uint32_t m_dwAreaOffset[kAreaCount] = {};   // byte offset of each area from its base
    BoardHandle m_hBoard = 0;                        // the open board, 0 while none

    // Start of memory area i in the program's address space (nullptr while not open).
    std::uint8_t *AreaStart(int i) const;

protected:
    bool OnInitDialog() override;
    void OnSysCommand(unsigned command) override;
    void OnPaint(QPainter &painter) override;

private:
    void OnStart();
    std::intptr_t OnCloseMessage();
    std::int32_t CloseBoard();
};

// The start-up dialog, set at its initialisation and never cleared.
extern CPelora2Dlg *g_pStartupDlg;
