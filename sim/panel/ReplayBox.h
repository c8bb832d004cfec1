// The panel's view of a replay (PELORA_SIM_REPLAY): the recording, how far it has come, and the
// first call the program made that the recording does not have. Hidden while nothing is
// replayed. UI thread only.
#pragma once

#include <QGroupBox>

class QLabel;
class QTimer;

namespace simpanel {

class ReplayBox : public QGroupBox {
public:
    explicit ReplayBox(QWidget *parent = nullptr);

    // Shows the replay's present state.
    void refresh();

private:
    QLabel *progress_;
    QLabel *divergence_;
    QTimer *timer_;
};

} // namespace simpanel
