// The picture inspector's frame history: stepping through the frames kept, and the labels that
// name the frame shown (number, time, stale) and the history's bounds. UI thread only.
#include "scan/PictureInspector.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>

#include <algorithm>

std::size_t PictureInspector::HistoryIndex() const
{
    if (history_.Empty())
        return 0;
    return shown_ == nullptr ? history_.Size() - 1 : history_.IndexOf(shown_);
}

void PictureInspector::StepHistory(int by)
{
    if (history_.Empty())
        return;
    const std::int64_t last = std::int64_t(history_.Size()) - 1;
    const std::int64_t to = std::clamp<std::int64_t>(std::int64_t(HistoryIndex()) + by, 0, last);
    if (to == last && by > 0) {
        ShowNewest();
        return;
    }
    shown_ = history_.At(std::size_t(to)).get();
    ShowSnapshot(*history_.At(std::size_t(to)));
}

void PictureInspector::ShowNewest()
{
    shown_ = nullptr;
    if (!history_.Empty())
        ShowSnapshot(*history_.At(history_.Size() - 1));
}

void PictureInspector::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_Comma: StepHistory(-1); break;
    case Qt::Key_PageDown:
    case Qt::Key_Period: StepHistory(1); break;
    case Qt::Key_End: ShowNewest(); break;
    default: return QWidget::keyPressEvent(event);
    }
    event->accept();
}

void PictureInspector::ShowFrameTexts()
{
    QString frame;
    if (frame_ && !frame_->Empty()) {
        frame = QStringLiteral("フレーム %1").arg(frame_->frameNumber);
        if (frame_->ended)
            frame += QStringLiteral("　%1").arg(QDateTime::fromMSecsSinceEpoch(frame_->endedAtMs)
                                                    .toString(QStringLiteral("HH:mm:ss.zzz")));
        else
            frame += QStringLiteral("（転送中）");
        if (frame_->stale)
            frame += QStringLiteral("\n★前のフレームと同じ画像（更新なし）");
    }
    frameLabel_->setText(frame);
    frameLabel_->setStyleSheet(frame_ && frame_->stale ? QStringLiteral("color: #c00000;") : QString());

    const std::uint64_t maxMb = history_.MaxBytes() >> 20;
    QString history = QStringLiteral("履歴 %1 フレーム（最大 %2 MB、大きな画像はそれより少なく）")
                          .arg(history_.MaxFrames())
                          .arg(maxMb);
    if (!history_.Empty())
        history += QStringLiteral("\n表示 %1 / %2%3")
                       .arg(HistoryIndex() + 1)
                       .arg(history_.Size())
                       .arg(shown_ == nullptr ? QStringLiteral("（最新を表示中）") : QString());
    historyLabel_->setText(history);
}

std::string PictureInspector::FrameShown() const
{
    return frameLabel_->text().toStdString();
}

std::string PictureInspector::HistoryShown() const
{
    return historyLabel_->text().toStdString();
}
