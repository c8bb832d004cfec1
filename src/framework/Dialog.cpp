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

// Multi-line edits keep lines ending in CR LF for the program; the widget shows plain lines.
QString toWidgetText(std::string_view s)
{
    QString text = q(s);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string fromWidgetText(const QString &text, bool multiline)
{
    if (!multiline)
        return text.toStdString();
    QString copy = text;
    copy.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return copy.toStdString();
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

bool Dialog::HasDlgItem(int id) const
{
    return window_ && window_->control(id);
}

std::string Dialog::GetDlgItemText(int id, int maxChars) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    std::string text;
    if (auto *e = qobject_cast<QLineEdit *>(w))
        text = e->text().toStdString();
    else if (auto *e = qobject_cast<QPlainTextEdit *>(w))
        text = fromWidgetText(e->toPlainText(), true);
    else if (auto *c = qobject_cast<QComboBox *>(w))
        text = c->isEditable() ? c->currentText().toStdString() : c->currentText().toStdString();
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        text = b->text().toStdString();
    else if (auto *l = qobject_cast<QLabel *>(w))
        text = l->text().toStdString();
    else if (w)
        text = w->windowTitle().toStdString();
    return FirstChars(text, maxChars);
}

void Dialog::SetDlgItemText(int id, std::string_view text)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(q(text));
    else if (auto *e = qobject_cast<QPlainTextEdit *>(w))
        e->setPlainText(toWidgetText(text));
    else if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (c->isEditable())
            c->setEditText(q(text));
    } else if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setText(q(text));
    else if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(q(text));
}

std::uint32_t Dialog::GetDlgItemNumber(int id, int base, int maxChars) const
{
    return ParseUnsigned(GetDlgItemText(id, maxChars), base);
}

void Dialog::EnableDlgItem(int id, bool enable)
{
    if (QWidget *w = window_ ? window_->control(id) : nullptr)
        w->setEnabled(enable);
}

bool Dialog::IsDlgItemEnabled(int id) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    return w && w->isEnabled();
}

void Dialog::CheckDlgButton(int id, bool checked)
{
    if (auto *b = qobject_cast<QAbstractButton *>(window_ ? window_->control(id) : nullptr))
        b->setChecked(checked);
}

bool Dialog::IsDlgButtonChecked(int id) const
{
    auto *b = qobject_cast<QAbstractButton *>(window_ ? window_->control(id) : nullptr);
    return b && b->isChecked();
}

void Dialog::CheckRadioButton(int firstId, int lastId, int checkId)
{
    for (int id = firstId; id <= lastId; ++id)
        CheckDlgButton(id, id == checkId);
}

void Dialog::ShowDlgItem(int id, bool show)
{
    if (QWidget *w = window_ ? window_->control(id) : nullptr)
        w->setVisible(show);
}

bool Dialog::IsDlgItemVisible(int id) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    return w && !w->isHidden();
}

void Dialog::SetFocusItem(int id)
{
    if (QWidget *w = window_ ? window_->control(id) : nullptr)
        w->setFocus(Qt::OtherFocusReason);
}

int Dialog::ComboInsertString(int id, int index, std::string_view text)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        const int at = (index < 0 || index > c->count()) ? c->count() : index;
        c->insertItem(at, q(text));
        return at;
    }
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        const int at = (index < 0 || index > l->count()) ? l->count() : index;
        l->insertItem(at, q(text));
        return at;
    }
    return -1;
}

int Dialog::ComboAddString(int id, std::string_view text)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (window_ && (window_->styleOf(id) & style::CbsSort)) {
        // A sorted list places an added string in order.
        if (auto *c = qobject_cast<QComboBox *>(w)) {
            int at = 0;
            const QString s = q(text);
            while (at < c->count() && QString::compare(c->itemText(at), s, Qt::CaseInsensitive) <= 0)
                ++at;
            c->insertItem(at, s);
            return at;
        }
    }
    return ComboInsertString(id, -1, text);
}

void Dialog::ComboResetContent(int id)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *c = qobject_cast<QComboBox *>(w))
        c->clear();
    else if (auto *l = qobject_cast<QListWidget *>(w))
        l->clear();
}

int Dialog::ComboSetCurSel(int id, int index)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (index < -1 || index >= c->count()) {
            c->setCurrentIndex(-1);
            return -1;
        }
        c->setCurrentIndex(index);
        return index;
    }
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        l->setCurrentRow(index);
        return l->currentRow();
    }
    return -1;
}

int Dialog::ComboGetCurSel(int id) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        // Text typed into the edit field that matches no item leaves no selection.
        if (c->isEditable() && c->currentIndex() >= 0 &&
            c->currentText() != c->itemText(c->currentIndex()))
            return -1;
        return c->currentIndex();
    }
    if (auto *l = qobject_cast<QListWidget *>(w))
        return l->currentRow();
    return -1;
}

int Dialog::ComboGetCount(int id) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->count();
    if (auto *l = qobject_cast<QListWidget *>(w))
        return l->count();
    return 0;
}

std::string Dialog::ComboGetItemText(int id, int index) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->itemText(index).toStdString();
    if (auto *l = qobject_cast<QListWidget *>(w))
        return l->item(index) ? l->item(index)->text().toStdString() : std::string();
    return {};
}

void Dialog::EditLimitText(int id, int maxChars)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setMaxLength(maxChars <= 0 ? 0x7FFFFFFE : maxChars);
    else if (auto *e = qobject_cast<QPlainTextEdit *>(w))
        e->setProperty("fwTextLimit", maxChars <= 0 ? 0x7FFFFFFE : maxChars);
}

void Dialog::EditReplaceSel(int id, std::string_view text)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        QTextCursor cursor = e->textCursor();
        const bool atEnd = cursor.atEnd() && !cursor.hasSelection();
        QScrollBar *bar = e->verticalScrollBar();
        cursor.insertText(toWidgetText(text));
        e->setTextCursor(cursor);
        if (atEnd && bar)
            bar->setValue(bar->maximum());
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->insert(q(text));
    }
}

void Dialog::EditSetSel(int id, int start, int end)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        QTextCursor cursor = e->textCursor();
        const int length = e->document()->characterCount() - 1;
        const int from = std::clamp(start < 0 ? length : start, 0, length);
        const int to = std::clamp(end < 0 ? length : end, 0, length);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        e->setTextCursor(cursor);
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        const int length = e->text().size();
        const int from = std::clamp(start < 0 ? length : start, 0, length);
        const int to = std::clamp(end < 0 ? length : end, 0, length);
        e->setSelection(from, to - from);
    }
}

int Dialog::EditGetLength(int id) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *e = qobject_cast<QPlainTextEdit *>(w))
        return e->document()->characterCount() - 1;
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text().size();
    return 0;
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
