#include "framework/DialogWindow.h"

#include "framework/Dialog.h"
#include "framework/Look.h"
#include "framework/Messages.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>

namespace fw {
namespace {

// Static text: '&' marks an access key (shown underlined by the system), "&&" is a literal '&'.
QString withoutPrefix(QString text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

QString q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// The stand-in fonts run wider than the faces the layouts were drawn for. A text that would not
// fit on its line is drawn condensed instead of being clipped or wrapped out of sight.
void condenseToFit(QWidget *w, const QString &text, int available)
{
    if (text.isEmpty() || available <= 0)
        return;
    QFont font = w->font();
    const int needed = QFontMetrics(font).horizontalAdvance(text);
    if (needed <= available)
        return;
    const int stretch = std::max(60, 100 * available / needed - 1);
    font.setStretch(stretch);
    // Where the face cannot be stretched, a smaller size keeps the text whole.
    if (QFontMetrics(font).horizontalAdvance(text) > available && font.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, font.pointSizeF() * available / needed));
    w->setFont(font);
}

} // namespace

DialogWindow::DialogWindow(Dialog *owner, const DialogTemplate &tmpl, QWidget *parent)
    : QDialog(parent), owner_(owner)
{
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    base_ = BaseUnitsForDpi(screen ? screen->logicalDotsPerInch() : 96.0);
    build(tmpl);
}

DialogWindow::~DialogWindow() = default;

void DialogWindow::build(const DialogTemplate &tmpl)
{
    Qt::WindowFlags flags = (tmpl.exStyle & style::ExAppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (tmpl.style & style::SysMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl.style & style::MinimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(q(tmpl.caption));
    setFont(TemplateFont(tmpl.fontFace, tmpl.fontPoint));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setFixedSize(DialogClientSize(tmpl.cx, tmpl.cy, base_));

    QButtonGroup *radioGroup = nullptr;
    std::vector<QWidget *> lowered;
    for (const ControlTemplate &c : tmpl.controls) {
        QWidget *w = makeControl(c, radioGroup);
        if (!w)
            continue;
        if (c.kind == ControlKind::GroupBox || c.kind == ControlKind::Frame)
            lowered.push_back(w);
        if (c.id != -1) {
            controls_[c.id] = w;
            templates_[c.id] = &c;
        }
        w->installEventFilter(this);
    }
    for (QWidget *w : lowered)
        w->lower(); // frames and group boxes lie under the controls they surround
}

QWidget *DialogWindow::makeControl(const ControlTemplate &c, QButtonGroup *&radioGroup)
{
    QRect rect = DialogUnitsToPixels(c.x, c.y, c.cx, c.cy, base_);
    const QString text = q(c.text);
    QWidget *w = nullptr;
    // Any control with the group style starts a new group; radio buttons join the current one.
    if (c.style & style::Group)
        radioGroup = nullptr;

    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto *b = new QPushButton(text, this);
        condenseToFit(b, withoutPrefix(text), rect.width() - 8);
        b->setAutoDefault(false);
        b->setDefault(c.kind == ControlKind::DefPushButton);
        connect(b, &QPushButton::clicked, this, [this, id = c.id] {
            if (owner_)
                owner_->DispatchCommand(id, BN_CLICKED);
        });
        w = b;
        break;
    }
    case ControlKind::CheckBox: {
        auto *b = new QCheckBox(text, this);
        condenseToFit(b, withoutPrefix(text), rect.width() - 20);
        connect(b, &QCheckBox::clicked, this, [this, id = c.id] {
            if (owner_)
                owner_->DispatchCommand(id, BN_CLICKED);
        });
        w = b;
        break;
    }
    case ControlKind::RadioButton: {
        auto *b = new QRadioButton(text, this);
        condenseToFit(b, withoutPrefix(text), rect.width() - 20);
        b->setAutoExclusive(false);
        if (!radioGroup) {
            radioGroup = new QButtonGroup(this);
            radioGroup->setExclusive(false);
            radioGroups_.emplace_back();
        }
        radioGroups_.back().push_back(c.id);
        // Auto radio buttons: a click checks this one and clears the rest of its group.
        connect(b, &QRadioButton::clicked, this, [this, id = c.id] {
            for (int other : radioGroupOf(id))
                if (auto *rb = qobject_cast<QRadioButton *>(control(other)))
                    rb->setChecked(other == id);
            if (owner_)
                owner_->DispatchCommand(id, BN_CLICKED);
        });
        radioGroup->addButton(b);
        w = b;
        break;
    }
    case ControlKind::GroupBox:
        w = new QGroupBox(text, this);
        condenseToFit(w, withoutPrefix(text), rect.width() - 16);
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
        break;
    case ControlKind::Static: {
        auto *l = new QLabel(this);
        l->setTextFormat(Qt::PlainText);
        l->setText((c.style & style::SsNoPrefix) ? text : withoutPrefix(text));
        const uint32_t align = c.style & 0x3;
        l->setAlignment((align == style::SsCenter  ? Qt::AlignHCenter
                         : align == style::SsRight ? Qt::AlignRight
                                                   : Qt::AlignLeft) |
                        Qt::AlignTop);
        const int lineHeight = QFontMetrics(l->font()).height();
        const bool multiLine = rect.height() >= 2 * lineHeight - 2;
        l->setWordWrap(multiLine);
        if (!multiLine) {
            condenseToFit(l, l->text(), rect.width());
            rect.setHeight(std::max(rect.height(), QFontMetrics(l->font()).height()));
        }
        if (c.style & style::SsSunken)
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        w = l;
        break;
    }
    case ControlKind::Icon: {
        auto *l = new QLabel(this);
        const QPixmap icon = IconById(text.toInt());
        if (!icon.isNull())
            l->setPixmap(icon.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        // An icon control takes the icon's own size, whatever the template says.
        rect.setSize(QSize(32, 32));
        w = l;
        break;
    }
    case ControlKind::Frame: {
        auto *f = new QFrame(this);
        const uint32_t kind = c.style & 0x1F;
        if (kind == style::SsEtchedFrame)
            f->setFrameStyle(QFrame::Box | QFrame::Sunken);
        else if (kind == style::SsBlackFrame || kind == style::SsGrayFrame ||
                 kind == style::SsWhiteFrame)
            f->setFrameStyle(QFrame::Box | QFrame::Plain);
        else if (c.style & style::SsSunken)
            f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        f->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = f;
        break;
    }
    case ControlKind::Edit: {
        if (c.style & style::EsMultiline) {
            auto *e = new QPlainTextEdit(this);
            e->setReadOnly(c.style & style::EsReadOnly);
            // A read-only log grows by program appends only: an undo history of them would
            // double its memory and slow every append.
            e->setUndoRedoEnabled(!(c.style & style::EsReadOnly));
            e->setLineWrapMode((c.style & style::EsAutoHScroll) || (c.style & style::HScroll)
                                   ? QPlainTextEdit::NoWrap
                                   : QPlainTextEdit::WidgetWidth);
            e->setVerticalScrollBarPolicy((c.style & style::VScroll) ? Qt::ScrollBarAlwaysOn
                                                                     : Qt::ScrollBarAsNeeded);
            e->setHorizontalScrollBarPolicy((c.style & style::HScroll) ? Qt::ScrollBarAlwaysOn
                                                                       : Qt::ScrollBarAsNeeded);
            e->setPlainText(text);
            connect(e, &QPlainTextEdit::textChanged, this, [this, id = c.id] {
                if (owner_)
                    owner_->DispatchCommand(id, EN_CHANGE);
            });
            w = e;
        } else {
            auto *e = new QLineEdit(text, this);
            e->setReadOnly(c.style & style::EsReadOnly);
            // A line without the border style shows its text on the dialog's own background.
            e->setFrame(c.style & style::Border);
            if (!(c.style & style::Border)) {
                QPalette pal = e->palette();
                pal.setColor(QPalette::Base, pal.color(QPalette::Window));
                e->setPalette(pal);
            }
            const uint32_t align = c.style & 0x3;
            if (align == style::EsRight)
                e->setAlignment(Qt::AlignRight);
            else if (align == style::EsCenter)
                e->setAlignment(Qt::AlignHCenter);
            connect(e, &QLineEdit::textChanged, this, [this, id = c.id] {
                if (owner_)
                    owner_->DispatchCommand(id, EN_CHANGE);
            });
            w = e;
        }
        break;
    }
    case ControlKind::ComboBox: {
        auto *cb = new QComboBox(this);
        const uint32_t type = c.style & 0x3;
        cb->setEditable(type == style::CbsDropDown || type == style::CbsSimple);
        cb->setInsertPolicy(QComboBox::NoInsert);
        // The template's height is the open list's; the closed box is one text line high.
        const int closed = MulDiv(12, base_.y, 12) + 8;
        const int listHeight = std::max(0, rect.height() - closed);
        cb->setMaxVisibleItems(std::max(1, listHeight / std::max(1, MulDiv(12, base_.y, 12) + 2)));
        rect.setHeight(closed);
        connect(cb, QOverload<int>::of(&QComboBox::activated), this, [this, id = c.id](int) {
            if (owner_)
                owner_->DispatchCommand(id, CBN_SELCHANGE);
        });
        w = cb;
        break;
    }
    case ControlKind::ListBox: {
        auto *lb = new QListWidget(this);
        w = lb;
        break;
    }
    }
    if (!w)
        return nullptr;
    w->setGeometry(rect);
    if (auto *f = qobject_cast<QFrame *>(w); f && c.kind == ControlKind::Frame) {
        // A frame control is its border alone, as on the classic platform: masked to it, the
        // frame is not repainted with what its owner draws inside (a picture at video rate).
        const QRegion border = QRegion(f->rect()) - f->contentsRect();
        if (!border.isEmpty())
            f->setMask(border);
    }
    w->setEnabled(!(c.style & style::Disabled));
    w->setFocusPolicy((c.style & style::TabStop) ? Qt::StrongFocus
                                                 : (c.kind == ControlKind::Static ||
                                                    c.kind == ControlKind::Icon ||
                                                    c.kind == ControlKind::Frame ||
                                                    c.kind == ControlKind::GroupBox)
                                                       ? Qt::NoFocus
                                                       : Qt::ClickFocus);
    w->setProperty("fwControlId", c.id);
    // Controls are visible unless the template hides them; dialog templates mark visible
    // controls explicitly only for the dialog itself.
    return w;
}

QWidget *DialogWindow::control(int id) const
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

ControlKind DialogWindow::kindOf(int id) const
{
    auto it = templates_.find(id);
    return it == templates_.end() ? ControlKind::Static : it->second->kind;
}

std::uint32_t DialogWindow::styleOf(int id) const
{
    auto it = templates_.find(id);
    return it == templates_.end() ? 0 : it->second->style;
}

int DialogWindow::firstTabStop() const
{
    int best = -1;
    int bestOrder = 1 << 30;
    int order = 0;
    for (QObject *child : children()) {
        auto *w = qobject_cast<QWidget *>(child);
        ++order;
        if (!w || !w->property("fwControlId").isValid())
            continue;
        const int id = w->property("fwControlId").toInt();
        if (id != -1 && (styleOf(id) & style::TabStop) && w->isEnabled() && order < bestOrder) {
            best = id;
            bestOrder = order;
        }
    }
    return best;
}

int DialogWindow::defaultButtonId() const
{
    for (const auto &[id, tmpl] : templates_)
        if (tmpl->kind == ControlKind::DefPushButton)
            return id;
    return IDOK;
}

std::vector<int> DialogWindow::radioGroupOf(int id) const
{
    for (const auto &group : radioGroups_)
        for (int member : group)
            if (member == id)
                return group;
    return {};
}

bool DialogWindow::handleKey(QKeyEvent *event)
{
    if (!owner_)
        return false;
    if (event->key() == Qt::Key_Escape) {
        owner_->DispatchCommand(IDCANCEL, BN_CLICKED);
        return true;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget *focus = focusWidget();
        if (auto *edit = qobject_cast<QPlainTextEdit *>(focus)) {
            const int id = edit->property("fwControlId").toInt();
            if ((styleOf(id) & style::EsWantReturn) && !edit->isReadOnly())
                return false; // the edit takes the new line itself
        }
        if (auto *button = qobject_cast<QPushButton *>(focus)) {
            if (button->isEnabled())
                owner_->DispatchCommand(button->property("fwControlId").toInt(), BN_CLICKED);
            return true;
        }
        const int id = defaultButtonId();
        QWidget *target = control(id);
        if (!target || (target->isEnabled() && target->isVisible()))
            owner_->DispatchCommand(id, BN_CLICKED);
        return true;
    }
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::AltModifier)) {
        owner_->runSystemMenu(mapToGlobal(QPoint(0, 0)));
        return true;
    }
    return false;
}

void DialogWindow::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

bool DialogWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const int k = key->key();
        if (k == Qt::Key_Escape || k == Qt::Key_Return || k == Qt::Key_Enter ||
            (k == Qt::Key_Space && (key->modifiers() & Qt::AltModifier))) {
            if (auto *combo = qobject_cast<QComboBox *>(watched); combo && combo->view() &&
                                                                   combo->view()->isVisible())
                return false; // an open list takes its own keys
            if (handleKey(key))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogWindow::closeEvent(QCloseEvent *event)
{
    // The window goes only when the dialog decides so (EndDialog or DestroyWindow).
    event->ignore();
    if (owner_)
        owner_->DispatchMessage(WM_CLOSE, 0, 0);
}

void DialogWindow::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    if (owner_) {
        QPainter painter(this);
        if (testAttribute(Qt::WA_OpaquePaintEvent)) {
            // Qt fills nothing: the background as it would, but not where the owner paints.
            const QBrush background = palette().brush(backgroundRole());
            for (const QRect &r : event->region() - owner_->OpaquePaintRect())
                painter.fillRect(r, background);
        }
        owner_->OnPaint(painter);
    }
}

void DialogWindow::contextMenuEvent(QContextMenuEvent *event)
{
    if (!owner_)
        return;
    // A control with a context menu defers its own to the window (see keepControlMenusAway), so a
    // right click on it arrives here.
    for (const auto &[id, w] : controls_) {
        if (!owner_->HasContextMenu(id) || !w->isVisible() || !w->geometry().contains(event->pos()))
            continue;
        owner_->runContextMenu(id, event->pos() - w->geometry().topLeft(), event->globalPos());
        return;
    }
    if (childAt(event->pos()) == nullptr)
        owner_->runSystemMenu(event->globalPos());
}

void DialogWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && owner_)
        owner_->OnMinimizedChanged(isMinimized());
}

} // namespace fw
