// Context menus hung on a dialog's controls: a real right click reaches the entries, an edit
// keeps its own entries above them, greyed-out entries cannot be chosen, and a window that goes
// while its menu is open carries nothing out.
#include "framework/Dialog.h"
#include "framework/DialogWindow.h"
#include "framework/TestDriver.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kFrameMemory = 136; // read-only log 1053
constexpr int kLog = 1053;
constexpr int kRectScan = 133;    // black picture frame 1055
constexpr int kPicture = 1055;

class MenuProbe : public fw::Dialog {
public:
    explicit MenuProbe(int tmpl) : fw::Dialog(tmpl) {}
};

// Sends a right click to `target` at `pos` (its own pixels) and, once the menu it opens is up,
// hands that menu to `inMenu` (which should close it, e.g. by triggering an action). Answers
// whether a menu came up at all.
bool RightClick(QWidget *target, QPoint pos, const std::function<void(QMenu *)> &inMenu)
{
    bool opened = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            poll.stop();
            opened = true;
            inMenu(menu);
            if (menu->isVisible())
                menu->close();
        }
    });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    giveUp.start(3000);
    QObject::connect(&giveUp, &QTimer::timeout, [&] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
    poll.stop();
    return opened;
}

// The widget a click at `pos` (window pixels) reaches first.
QWidget *TargetAt(fw::Dialog &dlg, QPoint pos)
{
    QWidget *child = dlg.widget()->childAt(pos);
    return child && !child->testAttribute(Qt::WA_TransparentForMouseEvents) ? child : dlg.widget();
}

std::vector<std::string> Texts(QMenu *menu)
{
    std::vector<std::string> texts;
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            texts.push_back(a->text().toStdString());
    return texts;
}

QAction *ActionNamed(QMenu *menu, const std::string &text)
{
    for (QAction *a : menu->actions())
        if (a->text().toStdString() == text)
            return a;
    return nullptr;
}

// Chooses an entry the way a user does with the keyboard: highlight it, press Enter.
void Choose(QMenu *menu, const std::string &text)
{
    QAction *action = ActionNamed(menu, text);
    ASSERT_NE(action, nullptr) << text;
    menu->setActiveAction(action);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(menu, &enter);
}

TEST(ContextMenu, RightClickOnAPaintedFrameShowsTheGroupsInOrder)
{
    MenuProbe dlg(kRectScan);
    int saved = 0;
    dlg.AddContextMenu(kPicture, [&](QPoint) {
        return std::vector<fw::ContextMenuEntry>{{"保存", true, [&] { ++saved; }},
                                                 {"拡大", false, [] { FAIL() << "greyed out"; }}};
    });
    dlg.AddContextMenu(kPicture, [](QPoint) {
        return std::vector<fw::ContextMenuEntry>{{"統計", true, [] {}}};
    });
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(true);
    const QRect r = dlg.DlgItemRect(kPicture);
    ASSERT_FALSE(r.isEmpty());

    // The click lands on the frame, or through it on the window.
    QWidget *target = TargetAt(dlg, r.center());
    std::vector<std::string> shown;
    bool greyed = false;
    ASSERT_TRUE(RightClick(target, target->mapFrom(dlg.widget(), r.center()), [&](QMenu *menu) {
        shown = Texts(menu);
        greyed = !ActionNamed(menu, "拡大")->isEnabled();
        Choose(menu, "保存");
    }));
    EXPECT_EQ(shown, (std::vector<std::string>{"保存", "拡大", "統計"}));
    EXPECT_TRUE(greyed);
    EXPECT_EQ(saved, 1);

    // The test driver sees the same entries and refuses the greyed-out one.
    EXPECT_EQ(fw::test::ContextMenu(dlg, kPicture).size(), 3u);
    EXPECT_TRUE(fw::test::ChooseContextMenu(dlg, kPicture, "保存"));
    EXPECT_FALSE(fw::test::ChooseContextMenu(dlg, kPicture, "拡大"));
    EXPECT_FALSE(fw::test::ChooseContextMenu(dlg, kPicture, "無い項目"));
    EXPECT_EQ(saved, 2);

    // Elsewhere on the window the system menu still comes up.
    std::vector<std::string> system;
    ASSERT_TRUE(RightClick(dlg.widget(), QPoint(2, 2), [&](QMenu *menu) { system = Texts(menu); }));
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(system.front(), "閉じる(&C)");
    dlg.DestroyWindow();
}

TEST(ContextMenu, AnEditKeepsItsOwnEntriesAboveTheAddedOnes)
{
    MenuProbe dlg(kFrameMemory);
    QPoint asked(-1, -1);
    dlg.AddContextMenu(kLog, [&](QPoint pos) {
        asked = pos;
        return std::vector<fw::ContextMenuEntry>{{"マップ", true, [] {}}};
    });
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(true);
    auto *window = qobject_cast<fw::DialogWindow *>(dlg.widget());
    ASSERT_NE(window, nullptr);
    auto *log = qobject_cast<QPlainTextEdit *>(window->control(kLog));
    ASSERT_NE(log, nullptr) << "the log is a plain text edit";
    std::vector<std::string> shown;
    ASSERT_TRUE(RightClick(log->viewport(), QPoint(5, 6), [&](QMenu *menu) { shown = Texts(menu); }));
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.back(), "マップ");
    EXPECT_EQ(asked, QPoint(5, 6) + log->viewport()->mapTo(log, QPoint(0, 0)));
    dlg.DestroyWindow();
}

TEST(ContextMenu, NothingIsCarriedOutWhenTheWindowWentWhileTheMenuWasOpen)
{
    MenuProbe dlg(kRectScan);
    int chosen = 0;
    dlg.AddContextMenu(kPicture, [&](QPoint) {
        return std::vector<fw::ContextMenuEntry>{{"保存", true, [&] { ++chosen; }}};
    });
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(true);
    const QRect r = dlg.DlgItemRect(kPicture);
    QWidget *target = TargetAt(dlg, r.center());
    ASSERT_TRUE(RightClick(target, target->mapFrom(dlg.widget(), r.center()), [&](QMenu *menu) {
        dlg.DestroyWindow();
        Choose(menu, "保存");
    }));
    EXPECT_EQ(chosen, 0);
    EXPECT_FALSE(dlg.IsWindow());
}

} // namespace
