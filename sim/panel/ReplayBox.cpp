#include "ReplayBox.h"

#include "simctl.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace simpanel {

ReplayBox::ReplayBox(QWidget *parent)
    : QGroupBox(QStringLiteral("記録の再生"), parent), progress_(new QLabel(this)),
      divergence_(new QLabel(this)), timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("replayBox"));
    progress_->setObjectName(QStringLiteral("replayProgress"));
    divergence_->setObjectName(QStringLiteral("replayDivergence"));
    divergence_->setWordWrap(true);
    divergence_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    divergence_->setStyleSheet(QStringLiteral("color: #B00000;"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(progress_);
    layout->addWidget(divergence_);
    // The replay runs on the board's threads; the box looks at it a few times a second.
    timer_->setInterval(500);
    connect(timer_, &QTimer::timeout, this, &ReplayBox::refresh);
    timer_->start();
    refresh();
}

void ReplayBox::refresh()
{
    SimReplayInfo info{};
    if (SimReplayStatus(&info) != 0) {
        hide();
        return;
    }
    QString state = info.diverged  ? QStringLiteral("相違のあとは模擬ボードが答えています")
                    : info.finished ? QStringLiteral("記録の終わりまで再生しました")
                                    : QStringLiteral("再生中");
    progress_->setText(QStringLiteral("%1: 記録 %2 件を読み、呼び出し %3 件に記録どおり答え、"
                                      "コールバック %4 回。%5")
                           .arg(QString::fromLocal8Bit(info.name))
                           .arg(info.recordsRead)
                           .arg(info.callsMatched)
                           .arg(info.callbacksMade)
                           .arg(state));
    divergence_->setVisible(info.diverged != 0);
    if (info.diverged != 0)
        divergence_->setText(QStringLiteral("最初の相違 (記録 %1): プログラムの呼び出し %2、"
                                            "記録では %3")
                                 .arg(info.divergenceRecord)
                                 .arg(QString::fromUtf8(info.called),
                                      QString::fromUtf8(info.expected)));
    show();
}

} // namespace simpanel
