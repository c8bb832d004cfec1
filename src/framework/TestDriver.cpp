#include "framework/TestDriver.h"

#include "framework/DialogWindow.h"
#include "framework/UiThread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>
#include <chrono>
#include <map>

namespace fw::test {
namespace {

std::multimap<int, std::function<void(Dialog &)>> &pendingActions() // UI thread only
{
    static std::multimap<int, std::function<void(Dialog &)>> actions;
    return actions;
}

QWidget *controlOf(Dialog &dlg, int id)
{
    auto *window = qobject_cast<DialogWindow *>(dlg.widget());
    return window ? window->control(id) : nullptr;
}

void sendKey(Dialog &dlg, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *window = dlg.widget();
    if (!window)
        return;
    QWidget *target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
}

} // namespace

Dialog *FindDialog(int templateId)
{
    const std::vector<Dialog *> live = LiveDialogs();
    for (auto it = live.rbegin(); it != live.rend(); ++it)
        if ((*it)->templateId() == templateId)
            return *it;
    return nullptr;
}

bool Click(Dialog &dlg, int id)
{
    auto *button = qobject_cast<QAbstractButton *>(controlOf(dlg, id));
    if (!button || !button->isEnabled() || !button->isVisibleTo(dlg.widget()) ||
        !dlg.widget()->isEnabled())
        return false;
    button->click();
    return true;
}

void Type(Dialog &dlg, int id, std::string_view text)
{
    QWidget *w = controlOf(dlg, id);
    const QString value = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        if (e->maxLength() < value.size())
            e->setText(value.left(e->maxLength()));
        else
            e->setText(value);
    } else if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        e->setPlainText(value);
    } else if (auto *c = qobject_cast<QComboBox *>(w); c && c->isEditable()) {
        c->setEditText(value);
    }
}

void SelectIndex(Dialog &dlg, int id, int index)
{
    if (auto *c = qobject_cast<QComboBox *>(controlOf(dlg, id))) {
        c->setCurrentIndex(index);
        dlg.DispatchCommand(id, CBN_SELCHANGE);
    }
}

void PressEnter(Dialog &dlg)
{
    sendKey(dlg, Qt::Key_Return);
}

void PressEscape(Dialog &dlg)
{
    sendKey(dlg, Qt::Key_Escape);
}

void PressCloseBox(Dialog &dlg)
{
    if (QWidget *window = dlg.widget())
        window->close();
}

std::vector<ContextMenuEntry> ContextMenu(Dialog &dlg, int id, QPoint pos)
{
    std::vector<ContextMenuEntry> entries = dlg.ContextMenuEntries(id, pos);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const ContextMenuEntry &e) { return e.text.empty(); }),
                  entries.end());
    return entries;
}

bool ChooseContextMenu(Dialog &dlg, int id, std::string_view text, QPoint pos)
{
    if (!dlg.IsWindow() || !dlg.IsDlgItemVisible(id))
        return false;
    for (ContextMenuEntry &e : ContextMenu(dlg, id, pos)) {
        if (e.text != text)
            continue;
        if (!e.enabled || !e.chosen)
            return false;
        e.chosen();
        return true;
    }
    return false;
}

void WhenShown(int templateId, std::function<void(Dialog &)> action)
{
    pendingActions().emplace(templateId, std::move(action));
}

void ClearWhenShown()
{
    pendingActions().clear();
}

void NotifyShown(Dialog &dlg)
{
    auto it = pendingActions().find(dlg.templateId());
    if (it == pendingActions().end())
        return;
    std::function<void(Dialog &)> action = std::move(it->second);
    pendingActions().erase(it);
    // Run once the dialog's own loop is going, as a user would act on a shown window.
    const WindowHandle handle = dlg.GetSafeHwnd();
    PostToUi([handle, action = std::move(action)] {
        if (Dialog *target = Dialog::FromHandle(handle))
            action(*target);
    });
}

bool WaitUntil(const std::function<bool()> &done, int timeoutMs)
{
    return PumpingWaitUntil(done, timeoutMs);
}

NotifiedWakesOnly::NotifiedWakesOnly(int seconds)
    : previousSafetyMs_(setPumpingWaitSafetyMs(60000))
{
    watchdog_ = std::thread([this, seconds] { // watchdog thread
        std::unique_lock lock(mutex_);
        if (stop_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopped_; }))
            return;
        fired_ = true;
        lock.unlock();
        setPumpingWaitSafetyMs(previousSafetyMs_);
        NotifyUiWaiters();
    });
}

NotifiedWakesOnly::~NotifiedWakesOnly()
{
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    stop_.notify_all();
    watchdog_.join();
    setPumpingWaitSafetyMs(previousSafetyMs_);
}

bool NotifiedWakesOnly::watchdogFired() const
{
    std::lock_guard lock(mutex_);
    return fired_;
}

void MessageBoxRecorder::show(const MessageBoxRequest &request, std::function<void(int)> done)
{
    bool answerNow = true;
    {
        std::lock_guard lock(mutex_);
        boxes_.push_back({request.owner, request.text, request.caption, request.icon,
                          request.fromUiThread});
        if (hold_) {
            held_.push_back(done);
            answerNow = false;
        }
    }
    if (answerNow)
        done(IDOK);
}

std::vector<RecordedBox> MessageBoxRecorder::boxes() const
{
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::size_t MessageBoxRecorder::count() const
{
    std::lock_guard lock(mutex_);
    return boxes_.size();
}

void MessageBoxRecorder::clear()
{
    std::lock_guard lock(mutex_);
    boxes_.clear();
}

void MessageBoxRecorder::setHold(bool hold)
{
    std::lock_guard lock(mutex_);
    hold_ = hold;
}

void MessageBoxRecorder::releaseAll()
{
    std::vector<std::function<void(int)>> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(held_);
    }
    for (auto &done : held)
        done(IDOK);
}

std::size_t MessageBoxRecorder::heldCount() const
{
    std::lock_guard lock(mutex_);
    return held_.size();
}

bool MessageBoxRecorder::contains(std::string_view text) const
{
    std::lock_guard lock(mutex_);
    return std::any_of(boxes_.begin(), boxes_.end(),
                       [&](const RecordedBox &b) { return b.text == text; });
}

std::optional<std::string> FileDialogScript::choose(const FileDialogRequest &request)
{
    requests_.push_back(request);
    if (answers_.empty())
        return std::nullopt;
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

Sinks::Sinks()
    : boxes(std::make_shared<MessageBoxRecorder>()), files(std::make_shared<FileDialogScript>())
{
    oldBoxes_ = setMessageBoxSink(boxes);
    oldFiles_ = setFileDialogSink(files);
}

Sinks::~Sinks()
{
    boxes->setHold(false);
    boxes->releaseAll();
    setMessageBoxSink(oldBoxes_);
    setFileDialogSink(oldFiles_);
}

} // namespace fw::test
