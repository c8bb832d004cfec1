// Context menus on a dialog's controls: the additions beside a dialog (saving a picture, the
// inspector, statistics) hang their entries on its controls without touching its template.
#include "framework/Dialog.h"
#include "framework/DialogWindow.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <memory>

namespace fw {

namespace {

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

// An edit control's own menu (undo, copy, select all, ...), or a fresh empty one.
std::unique_ptr<QMenu> StandardMenuOf(QWidget *control)
{
    if (auto *e = qobject_cast<QPlainTextEdit *>(control))
        return std::unique_ptr<QMenu>(e->createStandardContextMenu());
    if (auto *e = qobject_cast<QTextEdit *>(control))
        return std::unique_ptr<QMenu>(e->createStandardContextMenu());
    if (auto *e = qobject_cast<QLineEdit *>(control))
        return std::unique_ptr<QMenu>(e->createStandardContextMenu());
    // Parentless like the edits' own: the window may go while the menu is open.
    return std::make_unique<QMenu>();
}

} // namespace

void Dialog::AddContextMenu(int id, ContextMenuSource source)
{
    contextMenus_[id].push_back(std::move(source));
    keepControlMenusAway();
}

void Dialog::keepControlMenusAway()
{
    if (!window_)
        return;
    for (const auto &entry : contextMenus_)
        if (QWidget *w = window_->control(entry.first)) {
            w->setContextMenuPolicy(Qt::NoContextMenu);
            if (auto *area = qobject_cast<QAbstractScrollArea *>(w))
                area->viewport()->setContextMenuPolicy(Qt::NoContextMenu);
        }
}

std::vector<ContextMenuEntry> Dialog::ContextMenuEntries(int id, QPoint pos) const
{
    std::vector<ContextMenuEntry> entries;
    auto it = contextMenus_.find(id);
    if (it == contextMenus_.end())
        return entries;
    for (const ContextMenuSource &source : it->second) {
        std::vector<ContextMenuEntry> group = source(pos);
        if (group.empty())
            continue;
        if (!entries.empty())
            entries.push_back({});
        for (ContextMenuEntry &e : group)
            entries.push_back(std::move(e));
    }
    return entries;
}

void Dialog::runContextMenu(int id, QPoint pos, QPoint globalPos)
{
    QWidget *control = window_ ? window_->control(id) : nullptr;
    if (!control)
        return;
    std::vector<ContextMenuEntry> entries = ContextMenuEntries(id, pos);
    std::unique_ptr<QMenu> menu = StandardMenuOf(control);
    if (!menu->isEmpty() && !entries.empty())
        menu->addSeparator();
    std::vector<std::pair<QAction *, std::size_t>> actions;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].text.empty()) {
            menu->addSeparator();
            continue;
        }
        QAction *a = menu->addAction(q(entries[i].text));
        a->setEnabled(entries[i].enabled);
        actions.emplace_back(a, i);
    }
    const WindowHandle self = handle_;
    // The menu runs an event loop of its own; the dialog may lose its window (or the object may
    // go) meanwhile, and then nothing chosen is carried out.
    QAction *chosen = menu->exec(globalPos);
    if (!chosen || FromHandle(self) != this)
        return;
    for (const auto &[action, index] : actions)
        if (action == chosen && entries[index].chosen)
            entries[index].chosen();
}

} // namespace fw
