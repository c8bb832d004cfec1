// The dialog base class as the program uses it: modal and modeless runs, commands and messages,
// keys, and messages posted or sent from other threads.
#include "framework/Dialog.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

constexpr int kStartup = 102; // button 1019, combo 1037
constexpr int kAbout = 100;   // OK (1)
constexpr unsigned kPing = fw::WM_USER + 7;

class Probe : public fw::Dialog {
public:
    explicit Probe(int tmpl = kStartup) : fw::Dialog(tmpl)
    {
        OnCommand(1019, [this] { ++clicks; });
        OnMessage(kPing, [this](std::uintptr_t w, std::intptr_t l) {
            lastW = w;
            lastL = l;
            onUi = fw::IsUiThread();
            return static_cast<std::intptr_t>(w + 1);
        });
    }
    int clicks = 0;
    int oks = 0, cancels = 0, closes = 0, inits = 0, destroys = 0;
    std::uintptr_t lastW = 0;
    std::intptr_t lastL = 0;
    bool onUi = false;

protected:
    bool OnInitDialog() override
    {
        ++inits;
        return true;
    }
    void OnOK() override
    {
        ++oks;
        fw::Dialog::OnOK();
    }
    void OnCancel() override
    {
        ++cancels;
        fw::Dialog::OnCancel();
    }
    void OnClose() override
    {
        ++closes;
        fw::Dialog::OnClose();
    }
    void OnDestroy() override { ++destroys; }
};

} // namespace

TEST(Dialog, ModelessWindowComesAndGoesOnTheSameObject)
{
    Probe dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_TRUE(dlg.IsWindow());
    EXPECT_EQ(fw::test::FindDialog(kStartup), &dlg);
    const fw::WindowHandle first = dlg.GetSafeHwnd();
    EXPECT_FALSE(dlg.Create()); // one window at a time

    fw::test::Click(dlg, 1019);
    EXPECT_EQ(dlg.clicks, 1);

    // Hide versus destroy: ending a modeless dialog only hides it.
    dlg.EndDialog(fw::IDOK);
    EXPECT_TRUE(dlg.IsWindow());
    EXPECT_FALSE(dlg.IsWindowVisible());
    dlg.DestroyWindow();
    EXPECT_FALSE(dlg.IsWindow());
    EXPECT_EQ(dlg.destroys, 1);
    EXPECT_EQ(fw::test::FindDialog(kStartup), nullptr);
    EXPECT_FALSE(fw::Dialog::PostMessage(first, kPing, 1, 2)); // gone: nothing is queued

    ASSERT_TRUE(dlg.Create());
    EXPECT_NE(dlg.GetSafeHwnd(), first); // a fresh window, never the old handle
    EXPECT_EQ(dlg.inits, 2);
    EXPECT_EQ(dlg.clicks, 1); // members survive
}

TEST(Dialog, ModalRunEndsWithItsResultAndActionsRunInsideIt)
{
    Probe dlg(kAbout);
    bool sawItRunning = false;
    fw::test::WhenShown(kAbout, [&](fw::Dialog &shown) {
        sawItRunning = shown.IsModalRunning() && &shown == &dlg;
        fw::test::Click(shown, fw::IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), fw::IDOK);
    EXPECT_TRUE(sawItRunning);
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_FALSE(dlg.IsWindow());
}

TEST(Dialog, KeysAndCloseBoxReachTheVirtualHandlers)
{
    {
        Probe dlg(kAbout);
        fw::test::WhenShown(kAbout, [](fw::Dialog &d) { fw::test::PressEscape(d); });
        EXPECT_EQ(dlg.DoModal(), fw::IDCANCEL);
        EXPECT_EQ(dlg.cancels, 1);
    }
    {
        Probe dlg(kAbout);
        fw::test::WhenShown(kAbout, [](fw::Dialog &d) { fw::test::PressCloseBox(d); });
        EXPECT_EQ(dlg.DoModal(), fw::IDCANCEL);
        EXPECT_EQ(dlg.closes, 1);
        EXPECT_EQ(dlg.cancels, 1);
    }
    {
        Probe dlg(kAbout); // OK is the default button: Enter presses it
        fw::test::WhenShown(kAbout, [](fw::Dialog &d) { fw::test::PressEnter(d); });
        EXPECT_EQ(dlg.DoModal(), fw::IDOK);
        EXPECT_EQ(dlg.oks, 1);
    }
}

TEST(Dialog, MessagesPostedAndSentFromAnotherThreadRunOnTheUiThread)
{
    Probe dlg;
    ASSERT_TRUE(dlg.Create());
    const fw::WindowHandle h = dlg.GetSafeHwnd();
    std::atomic<std::intptr_t> sent{0};
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        posted = fw::Dialog::PostMessage(h, kPing, 4, 5);
        sent = fw::Dialog::SendMessage(h, kPing, 9, 10); // waits for the UI thread
    });
    ASSERT_TRUE(fw::test::WaitUntil([&] { return sent.load() != 0; }));
    worker.join();
    EXPECT_TRUE(posted);
    EXPECT_EQ(sent.load(), 10);
    EXPECT_EQ(dlg.lastW, 9u);
    EXPECT_EQ(dlg.lastL, 10);
    EXPECT_TRUE(dlg.onUi);

    // A send to a window that has gone answers 0 at once.
    dlg.DestroyWindow();
    std::thread late([&] { sent = fw::Dialog::SendMessage(h, kPing, 1, 1); });
    ASSERT_TRUE(fw::test::WaitUntil([&] { return sent.load() == 0; }));
    late.join();
}

TEST(Dialog, ControlsByIdAndDisabledControlsRefuseClicks)
{
    Probe dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.ComboInsertString(1037, 0, "0"), 0);
    EXPECT_EQ(dlg.ComboInsertString(1037, 1, "1"), 1);
    EXPECT_EQ(dlg.ComboSetCurSel(1037, 1), 1);
    EXPECT_EQ(dlg.ComboGetCurSel(1037), 1);
    EXPECT_EQ(dlg.ComboGetCount(1037), 2);
    EXPECT_EQ(dlg.ComboGetItemText(1037, 0), "0");
    fw::test::Type(dlg, 1037, "7"); // typed text that matches no item: no selection
    EXPECT_EQ(dlg.ComboGetCurSel(1037), -1);

    dlg.EnableDlgItem(1019, false);
    EXPECT_FALSE(dlg.IsDlgItemEnabled(1019));
    EXPECT_FALSE(fw::test::Click(dlg, 1019));
    EXPECT_EQ(dlg.clicks, 0);
    dlg.ShowDlgItem(1019, false);
    EXPECT_FALSE(dlg.IsDlgItemVisible(1019));
    EXPECT_EQ(dlg.GetDlgItemText(1019), "スタート");
    EXPECT_EQ(dlg.GetDlgItemText(1019, 2), "スタ");
    EXPECT_EQ(dlg.DlgItemRect(1019), QRect(45, 68, 110, 36));
    EXPECT_FALSE(dlg.HasDlgItem(4242));
    EXPECT_EQ(dlg.GetDlgItemText(4242), "");
}

TEST(Dialog, ModalRunFromQueuedWorkStillRunsLaterQueuedWork)
{
    // A queued call that opens a modal dialog must not starve what is queued after it: the
    // dialog's own actions arrive through the same queue.
    bool ended = false;
    fw::PostToUi([&] {
        Probe dlg(kAbout);
        fw::test::WhenShown(kAbout, [](fw::Dialog &d) { fw::test::Click(d, fw::IDOK); });
        dlg.DoModal();
        ended = true;
    });
    EXPECT_TRUE(fw::test::WaitUntil([&] { return ended; }, 5000));
}
