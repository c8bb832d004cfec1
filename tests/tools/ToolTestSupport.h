// Helpers shared by the maintenance tool tests: a stand-in main menu window that records the
// tools' close notifications, and a start-up dialog object reachable through g_pStartupDlg.
#pragma once

#include "app/Pelora2Dlg.h"
#include "app/ToolProtocol.h"
#include "common/BoardSession.h"
#include "common/ModalRun.h"
#include "common/Watchdog.h"
#include "framework/Dialog.h"
#include "framework/UiThread.h"

#include <memory>
#include <vector>

namespace tools_test {

// Receives WM_TOOL_CLOSED the way the main menu does. Built from the main menu's template.
class MenuProbe : public fw::Dialog {
public:
    MenuProbe() : fw::Dialog(138)
    {
        OnMessage(WM_TOOL_CLOSED, [this](std::uintptr_t wParam, std::intptr_t) -> std::intptr_t {
            closed.push_back(static_cast<unsigned>(wParam));
            return 1;
        });
        Create();
    }
    ~MenuProbe() override { DestroyWindow(); }
    std::vector<unsigned> closed;
};

// Points g_pStartupDlg at a start-up dialog object whose memory area 0 is the board's memory
// window, for the life of the guard.
class StartupGuard {
public:
    explicit StartupGuard(void *area0Base)
    {
        m_previous = g_pStartupDlg;
        m_dlg = std::make_unique<CPelora2Dlg>();
        for (int i = 0; i < 7; ++i) {
            m_dlg->m_pAreaBase[i] = area0Base;
            m_dlg->m_dwAreaOffset[i] = 0;
        }
        g_pStartupDlg = m_dlg.get();
    }
    ~StartupGuard() { g_pStartupDlg = m_previous; }
    CPelora2Dlg &dlg() { return *m_dlg; }

private:
    CPelora2Dlg *m_previous;
    std::unique_ptr<CPelora2Dlg> m_dlg;
};

// Texts of the boxes the tools showed (on the UI thread), oldest first. Boxes of the board's
// event notifications come from callback threads and are left out.
inline std::vector<std::string> BoxTexts(const fw::test::MessageBoxRecorder &recorder)
{
    std::vector<std::string> texts;
    for (const auto &box : recorder.boxes())
        if (box.fromUiThread)
            texts.push_back(box.text);
    return texts;
}

} // namespace tools_test
