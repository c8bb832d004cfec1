#include "SimPanel.h"

#include "FailureBox.h"
#include "RateBox.h"
#include "ReplayBox.h"
#include "ScenarioBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace simpanel {

SimPanel::SimPanel(QWidget *parent) : QWidget(parent, Qt::Window), status_(new QLabel(this))
{
    setObjectName(QStringLiteral("PeloraSimPanel"));
    setWindowTitle(QStringLiteral("模擬ボード パネル"));
    // The program decides when it ends; an open panel must not keep it running or end it.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto report = [this](const QString &line) { this->report(line); };
    scenarios_ = new ScenarioBox(report, [this] { rates_->load(); }, this);
    failure_ = new FailureBox(report, [this] { scenarios_->refresh(); }, this);
    rates_ = new RateBox(report, this);
    replay_ = new ReplayBox(this);

    auto *intro = new QLabel(QStringLiteral("模擬ボードの振る舞いを、プログラムを動かしたまま"
                                            "変えられます。変更はすぐに効きます。"),
                             this);
    status_->setObjectName(QStringLiteral("panelStatus"));
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setMinimumHeight(status_->fontMetrics().height() + 8);

    auto *lower = new QHBoxLayout;
    lower->addWidget(failure_, 1);
    lower->addWidget(rates_, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(scenarios_);
    layout->addLayout(lower);
    layout->addWidget(replay_);
    layout->addWidget(status_);
}

void SimPanel::refresh()
{
    scenarios_->refresh();
    rates_->load();
    replay_->refresh();
}

void SimPanel::report(const QString &line)
{
    status_->setText(line);
}

} // namespace simpanel
