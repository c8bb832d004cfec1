// The panel's switches for the named scenarios: one check box per scenario, in two columns.
// UI thread only.
#pragma once

#include <QGroupBox>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;

namespace simpanel {

class ScenarioBox : public QGroupBox {
public:
    // `report` shows a line in the panel; `changed` runs after a switch was used (a scenario
    // may change the rates).
    ScenarioBox(std::function<void(const QString &)> report, std::function<void()> changed,
                QWidget *parent = nullptr);

    // Shows which scenarios are in effect now (some end by themselves, others are switched by
    // tests or by the failure box).
    void refresh();

private:
    struct Switch {
        std::string name;
        QCheckBox *box;
    };

    void flip(const Switch &s, bool on);

    std::function<void(const QString &)> report_;
    std::function<void()> changed_;
    std::vector<Switch> switches_;
    bool overlayFails_ = false; // the overlay stand-in cannot be asked: kept here
};

} // namespace simpanel
