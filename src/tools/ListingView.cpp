#include "tools/ListingView.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

ListingView::ListingView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void ListingView::setListing(std::string text)
{
    text_ = std::move(text);
    lineStarts_.clear();
    longestLine_ = 0;
    allSelected_ = false;
    std::size_t start = 0;
    for (;;) {
        lineStarts_.push_back(start);
        const std::size_t end = text_.find('\n', start);
        const std::size_t length = (end == std::string::npos ? text_.size() : end) - start;
        longestLine_ = std::max(longestLine_, length);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

void ListingView::selectAll()
{
    allSelected_ = true;
    viewport()->update();
}

void ListingView::copy() const
{
    if (allSelected_)
        QGuiApplication::clipboard()->setText(QString::fromLatin1(text_.data(), qsizetype(text_.size())));
}

void ListingView::updateScrollBars()
{
    const QFontMetrics fm(font());
    const int visibleLines = std::max(1, viewport()->height() / fm.lineSpacing());
    verticalScrollBar()->setPageStep(visibleLines);
    verticalScrollBar()->setRange(0, int(std::max<std::ptrdiff_t>(0, std::ptrdiff_t(lineCount()) - visibleLines)));
    const int width = int(longestLine_) * fm.horizontalAdvance(QLatin1Char('0'));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
}

void ListingView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ListingView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QFontMetrics fm(font());
    const int lineHeight = fm.lineSpacing();
    const std::size_t first = std::size_t(verticalScrollBar()->value());
    const int x = 2 - horizontalScrollBar()->value();
    if (allSelected_)
        painter.fillRect(viewport()->rect(), palette().highlight());
    painter.setPen(allSelected_ ? palette().highlightedText().color() : palette().text().color());
    for (std::size_t i = first, row = 0; i < lineCount(); ++i, ++row) {
        const int y = int(row) * lineHeight;
        if (y > viewport()->height())
            break;
        const std::size_t start = lineStarts_[i];
        std::size_t end = i + 1 < lineCount() ? lineStarts_[i + 1] : text_.size();
        while (end > start && (text_[end - 1] == '\n' || text_[end - 1] == '\r'))
            --end;
        painter.drawText(x, y + fm.ascent(), QString::fromLatin1(text_.data() + start, qsizetype(end - start)));
    }
}

void ListingView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
               event->key() == Qt::Key_Enter) {
        event->ignore(); // the dialog's own keys
        return;
    } else {
        QAbstractScrollArea::keyPressEvent(event); // scrolling keys
        return;
    }
    event->accept();
}

void ListingView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("コピー"));
    copyAction->setEnabled(allSelected_);
    QAction *selectAction = menu.addAction(QStringLiteral("すべて選択"));
    QAction *chosen = menu.exec(event->globalPos());
    if (chosen == copyAction)
        copy();
    else if (chosen == selectAction)
        selectAll();
}
