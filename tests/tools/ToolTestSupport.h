// Helpers shared by the maintenance tool tests: a stand-in main menu window that records the
// tools' close notifications, and a board session as the start-up dialog would hand it over.
#pragma once

#include "common/BoardSession.h"
#include "common/ModalRun.h"
#include "common/Watchdog.h"
#include "framework/Dialog.h"
#include "framework/UiThread.h"
#include "session/BoardSession.h"
#include "session/ToolProtocol.h"

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

// A board session as the start-up dialog holds it, whose memory area 0 is the board's memory
// window; tools under test are handed it.
class SessionGuard {
public:
    explicit SessionGuard(void *area0Base)
    {
        for (int i = 0; i < session::BoardSession::kAreaCount; ++i) {
            m_session.m_pAreaBase[i] = area0Base;
            m_session.m_dwAreaOffset[i] = 0;
        }
        m_session.m_hScanEvent = std::make_unique<fw::AutoResetEvent>();
    }
    session::BoardSession &session() { return m_session; }

private:
    session::BoardSession m_session;
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
