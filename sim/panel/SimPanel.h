// The simulator's own window (PELORA_SIM_PANEL=1): switches for the named scenarios, a failing
// operation, the rates, and a replay in progress. Not part of the program: it talks to the simulated board only through
// simctl.h and overlayctl.h. UI thread only.
#pragma once

#include <QWidget>

class QLabel;

namespace simpanel {

class FailureBox;
class RateBox;
class ReplayBox;
class ScenarioBox;

class SimPanel : public QWidget {
public:
    explicit SimPanel(QWidget *parent = nullptr);

    // Shows the board's present state (the panel is shown again on every BoardOpen).
    void refresh();

private:
    void report(const QString &line);

    ScenarioBox *scenarios_;
    FailureBox *failure_;
    RateBox *rates_;
    ReplayBox *replay_;
    QLabel *status_;
};

} // namespace simpanel
