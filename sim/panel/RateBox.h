// The panel's rates: area scan frames and lines per second, live video frames per second.
// UI thread only.
#pragma once

#include <QGroupBox>

#include <functional>

class QCheckBox;
class QDoubleSpinBox;

namespace simpanel {

class RateBox : public QGroupBox {
public:
    explicit RateBox(std::function<void(const QString &)> report, QWidget *parent = nullptr);

    // Shows the rates the board runs at now.
    void load();

private:
    void apply();
    void defaults();

    std::function<void(const QString &)> report_;
    QDoubleSpinBox *frame_;
    QDoubleSpinBox *line_;
    QCheckBox *lineFollows_;
    QDoubleSpinBox *video_;
};

} // namespace simpanel
