#include "framework/Dialog.h"

#include "framework/DialogWindow.h"
#include "framework/Numeric.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace fw {
namespace {

struct Registry {
    std::mutex mutex; // guards live and nextHandle; the Dialog pointers are used on the UI thread only
    std::vector<std::pair<WindowHandle, Dialog *>> live; // in creation order
    WindowHandle nextHandle = 0x10000;
};

Registry &registry()
{
    static Registry r;
    return r;
}

bool isLive(WindowHandle handle)
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    return std::any_of(r.live.begin(), r.live.end(),
                       [&](const auto &entry) { return entry.first == handle; });
}

std::vector<Dialog *> &modalStack() // UI thread only: innermost modal run last
{
    static std::vector<Dialog *> stack;
    return stack;
}

QString q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

} // namespace

Dialog::Dialog(int templateId) : templateId_(templateId), template_(findTemplate(templateId))
{
    if (!template_)
        throw std::invalid_argument("unknown dialog template " + std::to_string(templateId));
}

Dialog::~Dialog()
{
    DestroyWindow();
}

bool Dialog::buildWindow(Dialog *owner, bool modal)
{
    if (window_)
        return false;
    if (!owner && modal && !modalStack().empty())
        owner = modalStack().back();
    QWidget *parent = owner ? owner->widget() : nullptr;
    window_ = new DialogWindow(this, *template_, parent);
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        handle_ = r.nextHandle++;
        r.live.emplace_back(handle_, this);
    }
    if (modal)
        window_->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    keepControlMenusAway();
    return true;
}

void Dialog::windowGone()
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    r.live.erase(std::remove_if(r.live.begin(), r.live.end(),
                                [&](const auto &entry) { return entry.first == handle_; }),
                 r.live.end());
}

int Dialog::DoModal(Dialog *owner)
{
    if (!buildWindow(owner, true))
        return -1;
    modalRunning_ = true;
    modalResult_ = 0;
    QEventLoop loop;
    modalLoop_ = &loop;
    modalStack().push_back(this);
    DialogWindow *windowAtStart = window_;
    // EndDialog may come from OnInitDialog already.
    if (OnInitDialog() && window_ == windowAtStart) {
        const int first = window_->firstTabStop();
        if (first != -1)
            SetFocusItem(first);
    }
    if (modalRunning_ && window_ == windowAtStart) {
        window_->show();
        test::NotifyShown(*this);
        if (modalRunning_)
            loop.exec();
    }
    modalLoop_ = nullptr;
    modalStack().erase(std::remove(modalStack().begin(), modalStack().end(), this),
                       modalStack().end());
    modalRunning_ = false;
    DestroyWindow();
    return modalResult_;
}

bool Dialog::Create(Dialog *owner)
{
    if (!buildWindow(owner, false))
        return false;
    DialogWindow *windowAtStart = window_;
    if (OnInitDialog() && window_ == windowAtStart) {
        const int first = window_->firstTabStop();
        if (first != -1)
            SetFocusItem(first);
    }
    if (window_ != windowAtStart)
        return false;
    if (template_->style & style::Visible)
        window_->show();
    test::NotifyShown(*this);
    return true;
}

void Dialog::DestroyWindow()
{
    if (!window_)
        return;
    OnDestroy();
    if (!window_)
        return;
    DialogWindow *w = window_;
    window_ = nullptr;
    windowGone();
    w->detach();
    w->hide();
    w->deleteLater();
    leaveModalLoop();
}

void Dialog::leaveModalLoop()
{
    if (!modalRunning_)
        return;
    modalRunning_ = false;
    if (modalLoop_)
        modalLoop_->exit(0); // returns once any loop nested inside it has returned
}

void Dialog::EndDialog(int result)
{
    modalResult_ = result;
    if (window_)
        window_->hide(); // a modeless dialog is only hidden
    leaveModalLoop();
}

void Dialog::ShowWindow(bool show)
{
    if (window_)
        window_->setVisible(show);
}

bool Dialog::IsWindowVisible() const
{
    return window_ && window_->isVisible();
}

QWidget *Dialog::widget() const
{
    return window_;
}

QRect Dialog::DlgItemRect(int id) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    return w ? w->geometry() : QRect();
}

QRect Dialog::ClientRect() const
{
    return window_ ? window_->rect() : QRect();
}

QPoint Dialog::ClientToScreen(QPoint p) const
{
    return window_ ? window_->mapToGlobal(p) : p;
}

void Dialog::Invalidate()
{
    if (window_)
        window_->update();
}

void Dialog::OnCommand(int id, int notification, std::function<void()> handler)
{
    commands_[{id, notification}] = std::move(handler);
}

void Dialog::OnMessage(unsigned msg,
                       std::function<std::intptr_t(std::uintptr_t, std::intptr_t)> handler)
{
    messages_[msg] = std::move(handler);
}

void Dialog::AppendSystemMenu(unsigned command, std::string text)
{
    systemMenu_.push_back({command, std::move(text)});
}

void Dialog::runSystemMenu(QPoint globalPos)
{
    if (!window_)
        return;
    QMenu menu(window_);
    QAction *close = menu.addAction(QStringLiteral("閉じる(&C)"));
    const WindowHandle self = handle_;
    std::vector<std::pair<QAction *, unsigned>> extra;
    if (!systemMenu_.empty()) {
        menu.addSeparator();
        for (const SystemMenuItem &item : systemMenu_)
            extra.emplace_back(menu.addAction(q(item.text)), item.command);
    }
    QAction *chosen = menu.exec(globalPos);
    if (!chosen || FromHandle(self) != this)
        return;
    if (chosen == close) {
        DispatchMessage(WM_CLOSE, 0, 0);
        return;
    }
    for (const auto &[action, command] : extra)
        if (action == chosen)
            DispatchSysCommand(command);
}

void Dialog::DispatchSysCommand(unsigned command)
{
    if (command == 0xF060) { // SC_CLOSE
        DispatchMessage(WM_CLOSE, 0, 0);
        return;
    }
    OnSysCommand(command);
}

void Dialog::DispatchCommand(int id, int notification)
{
    auto it = commands_.find({id, notification});
    if (it != commands_.end()) {
        it->second();
        return;
    }
    if (notification != BN_CLICKED)
        return;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

std::intptr_t Dialog::DispatchMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    auto it = messages_.find(msg);
    if (it != messages_.end())
        return it->second(wParam, lParam);
    if (msg == WM_CLOSE)
        OnClose();
    return 0;
}

Dialog *Dialog::FromHandle(WindowHandle handle)
{
    if (handle == 0)
        return nullptr;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto &[h, dlg] : r.live)
        if (h == handle)
            return dlg;
    return nullptr;
}

bool Dialog::PostMessage(WindowHandle target, unsigned msg, std::uintptr_t wParam,
                         std::intptr_t lParam)
{
    if (!isLive(target))
        return false;
    return PostToUi([=] {
        if (Dialog *dlg = FromHandle(target))
            dlg->DispatchMessage(msg, wParam, lParam);
    });
}

std::intptr_t Dialog::SendMessage(WindowHandle target, unsigned msg, std::uintptr_t wParam,
                                  std::intptr_t lParam)
{
    std::intptr_t result = 0;
    SendToUi([&] {
        if (Dialog *dlg = FromHandle(target))
            result = dlg->DispatchMessage(msg, wParam, lParam);
    });
    return result;
}

namespace test {
std::vector<Dialog *> LiveDialogs()
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<Dialog *> out;
    for (const auto &entry : r.live)
        out.push_back(entry.second);
    return out;
}
} // namespace test

} // namespace fw
