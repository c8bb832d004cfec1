#include "FailureBox.h"

#include "simctl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <cerrno>
#include <cstdlib>

namespace simpanel {

namespace {

// The status as C writes it (10, 0x0A, -1); false when it is not a 32-bit number.
bool parseStatus(const QString &text, int32_t *out)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.isEmpty())
        return false;
    errno = 0;
    char *end = nullptr;
    const long long v = std::strtoll(bytes.constData(), &end, 0);
    if (errno != 0 || end == nullptr || *end != '\0' || v < INT32_MIN || v > 0xFFFFFFFFLL)
        return false;
    *out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

QString hex(int32_t v)
{
    return QStringLiteral("0x%1").arg(static_cast<uint32_t>(v), 0, 16);
}

} // namespace

FailureBox::FailureBox(std::function<void(const QString &)> report, std::function<void()> changed,
                       QWidget *parent)
    : QGroupBox(QStringLiteral("操作を失敗させる"), parent), report_(std::move(report)),
      changed_(std::move(changed)), op_(new QComboBox(this)), result_(new QLineEdit(this)),
      times_(new QSpinBox(this)), forever_(new QCheckBox(QStringLiteral("元に戻すまでずっと"), this))
{
    op_->setObjectName(QStringLiteral("failOp"));
    for (int op = 1; op < SIM_OP_COUNT; ++op)
        op_->addItem(QString::fromLatin1(SimOpName(op)), op);
    result_->setObjectName(QStringLiteral("failResult"));
    result_->setText(QStringLiteral("3"));
    result_->setToolTip(QStringLiteral("10 進か、0x を付けて 16 進で書きます"));
    times_->setObjectName(QStringLiteral("failTimes"));
    times_->setRange(1, 9999);
    times_->setSuffix(QStringLiteral(" 回"));
    forever_->setObjectName(QStringLiteral("failForever"));
    connect(forever_, &QCheckBox::toggled, times_, &QSpinBox::setDisabled);

    auto *apply = new QPushButton(QStringLiteral("失敗させる"), this);
    apply->setObjectName(QStringLiteral("failApply"));
    auto *putBack = new QPushButton(QStringLiteral("元に戻す"), this);
    putBack->setObjectName(QStringLiteral("failClear"));
    connect(apply, &QPushButton::clicked, this, &FailureBox::apply);
    connect(putBack, &QPushButton::clicked, this, &FailureBox::putBack);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("操作:"), this), 0, 0);
    grid->addWidget(op_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("返す値:"), this), 0, 2);
    grid->addWidget(result_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("回数:"), this), 1, 0);
    grid->addWidget(times_, 1, 1);
    grid->addWidget(forever_, 1, 2, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(putBack);
    grid->addLayout(buttons, 2, 0, 1, 4);
    grid->setColumnStretch(3, 1);
}

void FailureBox::apply()
{
    int32_t status = 0;
    if (!parseStatus(result_->text(), &status)) {
        report_(QStringLiteral("返す値が読めません。10 進か、0x を付けた 16 進で書いてください。"));
        return;
    }
    const int op = op_->currentData().toInt();
    const bool always = forever_->isChecked();
    SimInjectResult(op, status, always ? -1 : times_->value());
    const QString name = op_->currentText();
    if (always)
        report_(QStringLiteral("%1 は、元に戻すまで %2 を返します。").arg(name, hex(status)));
    else
        report_(QStringLiteral("%1 は、次の %2 回 %3 を返します。")
                    .arg(name)
                    .arg(times_->value())
                    .arg(hex(status)));
    changed_();
}

void FailureBox::putBack()
{
    const int op = op_->currentData().toInt();
    SimInjectResult(op, 0, 0); // no use left: the operation's rule goes
    report_(QStringLiteral("%1 を元に戻しました。").arg(op_->currentText()));
    changed_();
}

} // namespace simpanel
