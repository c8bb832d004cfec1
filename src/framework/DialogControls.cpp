// Controls by ID: text, numbers, enabling, check marks, combo and list boxes, edit fields.
// UI thread only.
#include "framework/Dialog.h"

#include "framework/DialogWindow.h"
#include "framework/Numeric.h"

#include <QCheckBox>

#include <algorithm>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

namespace fw {
namespace {

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
        e->setProperty("fwTextLimit", maxChars <= 0 ? kMultiLineEditMaxChars : maxChars);
}

int Dialog::EditGetLimitText(int id) const
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->maxLength();
    if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        const QVariant limit = e->property("fwTextLimit");
        return limit.isValid() ? limit.toInt() : kMultiLineEditMaxChars;
    }
    return 0;
}

bool Dialog::EditReplaceSel(int id, std::string_view text)
{
    QWidget *w = window_ ? window_->control(id) : nullptr;
    if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        QTextCursor cursor = e->textCursor();
        const bool atEnd = cursor.atEnd() && !cursor.hasSelection();
        QScrollBar *bar = e->verticalScrollBar();
        QString insert = toWidgetText(text);
        const qsizetype kept = e->document()->characterCount() - 1 -
                               (cursor.selectionEnd() - cursor.selectionStart());
        const qsizetype room = std::max<qsizetype>(0, EditGetLimitText(id) - kept);
        const bool whole = insert.size() <= room;
        if (!whole)
            insert.truncate(room);
        cursor.insertText(insert);
        e->setTextCursor(cursor);
        if (atEnd && bar)
            bar->setValue(bar->maximum());
        return whole;
    }
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->insert(q(text));
        return true;
    }
    return false;
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

} // namespace fw
