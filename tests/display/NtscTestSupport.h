// Helpers for the live display tests: a fixture that runs the dialog modally with an action
// inside, under a watchdog, and journal filters.
#pragma once

#include "common/BoardSession.h"
#include "common/Watchdog.h"
#include "display/NtscViewDlg.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "overlayctl.h"
#include "res/Resources.h"

#include <functional>

namespace ntsc_test {

using namespace res::ntsc;

constexpr std::uint32_t kFrameBytes = CNtscViewDlg::kFrameBytes;

class NtscViewTest : public testing_support::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        OverlaySimReset();
    }
    void TearDown() override
    {
        SimSetStepMode(0);
        DialogTest::TearDown();
        OverlaySimReset();
    }
    // Runs the dialog modally; the action runs inside the modal run, then Escape closes it
    // (unless the action has closed it already). A close that stops nothing would leave the
    // run, or the release of the dialog after it, waiting for the request thread for good.
    void Run(const std::function<void(CNtscViewDlg &)> &action)
    {
        testing_support::Watchdog watchdog(
            "the live display's modal run (the test's actions, then its close) to end");
        CNtscViewDlg dlg;
        dlg.m_hBoard = board->handle();
        fw::test::WhenShown(res::IDD_NTSC_VIEW, [&](fw::Dialog &) {
            action(dlg);
            if (dlg.IsModalRunning())
                fw::test::PressEscape(dlg);
        });
        dlg.DoModal();
        EXPECT_EQ(g_pNtscViewDlg.load(), nullptr);
        watchdog.Rearm("the closed live display to be released (its request thread to end)");
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto &box : sinks.boxes->boxes())
            texts.push_back(box.text);
        return texts;
    }
};

// Journal entries from `from` on.
inline std::vector<SimCall> JournalFrom(std::size_t from)
{
    std::vector<SimCall> all = testing_support::Journal();
    if (from >= all.size())
        return {};
    return std::vector<SimCall>(all.begin() + std::ptrdiff_t(from), all.end());
}

inline std::size_t CountOp(const std::vector<SimCall> &calls, int op)
{
    std::size_t n = 0;
    for (const SimCall &c : calls)
        n += c.op == op ? 1 : 0;
    return n;
}

} // namespace ntsc_test
