#include "ScenarioBox.h"

#include "PanelTexts.h"

#include "overlayctl.h"
#include "simctl.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>

#include <cstdlib>
#include <cstring>

namespace simpanel {

namespace {

// A list of names in the form PELORA_SIM_SCENARIO takes.
bool namedAtStart(const char *name)
{
    const char *names = std::getenv("PELORA_SIM_SCENARIO");
    if (names == nullptr)
        return false;
    const QStringList list = QString::fromUtf8(names).split(QLatin1Char(','));
    for (const QString &n : list)
        if (n.trimmed() == QLatin1String(name))
            return true;
    return false;
}

} // namespace

ScenarioBox::ScenarioBox(std::function<void(const QString &)> report,
                         std::function<void()> changed, QWidget *parent)
    : QGroupBox(QStringLiteral("障害シナリオ（チェックするとすぐに効きます）"), parent),
      report_(std::move(report)), changed_(std::move(changed))
{
    std::vector<std::string> names;
    for (int i = 0; i < SimScenarioCount(); ++i)
        names.emplace_back(SimScenarioName(i));
    names.emplace_back(kOverlayScenario);
    overlayFails_ = namedAtStart(kOverlayScenario);

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    const int rows = static_cast<int>(names.size() + 1) / 2;
    for (size_t i = 0; i < names.size(); ++i) {
        const int row = static_cast<int>(i) % rows;
        const int column = static_cast<int>(i) / rows * 2;
        auto *box = new QCheckBox(QString::fromStdString(names[i]), this);
        box->setObjectName(QStringLiteral("scenario:") + QString::fromStdString(names[i]));
        QString text = scenarioText(names[i].c_str());
        if (text.isEmpty() && i < static_cast<size_t>(SimScenarioCount()))
            text = QString::fromUtf8(SimScenarioDescription(static_cast<int>(i)));
        auto *label = new QLabel(text, this);
        label->setBuddy(box);
        label->setContentsMargins(0, 0, 12, 0); // room between the two columns
        grid->addWidget(box, row, column);
        grid->addWidget(label, row, column + 1);
        switches_.push_back(Switch{names[i], box});
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    for (const Switch &s : switches_)
        connect(s.box, &QCheckBox::clicked, this, [this, s](bool on) { flip(s, on); });

    refresh();
    // What the board does changes without the panel too (a once-only fault is used up).
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ScenarioBox::refresh);
    timer->start(500);
}

void ScenarioBox::flip(const Switch &s, bool on)
{
    if (s.name == kOverlayScenario) {
        OverlaySimFailCreate(on ? -1 : 0);
        overlayFails_ = on;
    } else {
        SimSetScenario(s.name.c_str(), on ? 1 : 0);
    }
    refresh();
    const QString name = QString::fromStdString(s.name);
    if (on && !s.box->isChecked())
        report_(QStringLiteral("%1 を入れましたが、効いていないようです。").arg(name));
    else
        report_(on ? QStringLiteral("%1 を入れました。").arg(name)
                   : QStringLiteral("%1 を切りました。").arg(name));
    changed_();
}

void ScenarioBox::refresh()
{
    for (const Switch &s : switches_) {
        const bool on = s.name == kOverlayScenario ? overlayFails_
                                                   : SimScenarioActive(s.name.c_str()) == 1;
        if (s.box->isChecked() != on) {
            const QSignalBlocker quiet(s.box);
            s.box->setChecked(on);
        }
    }
}

} // namespace simpanel
