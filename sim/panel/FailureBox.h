// The panel's failing operation: one of the library's functions answers a chosen status, a
// number of times or until put back. UI thread only.
#pragma once

#include <QGroupBox>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace simpanel {

class FailureBox : public QGroupBox {
public:
    FailureBox(std::function<void(const QString &)> report, std::function<void()> changed,
               QWidget *parent = nullptr);

private:
    void apply();
    void putBack();

    std::function<void(const QString &)> report_;
    std::function<void()> changed_;
    QComboBox *op_;
    QLineEdit *result_;
    QSpinBox *times_;
    QCheckBox *forever_;
};

} // namespace simpanel
