#include "RateBox.h"

#include "simctl.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace simpanel {

namespace {

constexpr double kDefaultFrames = 30.0;
constexpr double kDefaultVideo = 30000.0 / 1001.0;

QDoubleSpinBox *rateField(const char *name, double max, int decimals, QWidget *parent)
{
    auto *field = new QDoubleSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(0.0, max);
    field->setDecimals(decimals);
    return field;
}

QString number(double v)
{
    return v == 0 ? QStringLiteral("待たずに送る") : QString::number(v, 'g', 6);
}

} // namespace

RateBox::RateBox(std::function<void(const QString &)> report, QWidget *parent)
    : QGroupBox(QStringLiteral("速さ"), parent), report_(std::move(report)),
      frame_(rateField("frameRate", 10000.0, 2, this)),
      line_(rateField("lineRate", 10000000.0, 0, this)),
      lineFollows_(new QCheckBox(QStringLiteral("フレームの速さに合わせる"), this)),
      video_(rateField("videoRate", 240.0, 2, this))
{
    // 0 means the board waits for the program instead of keeping time.
    frame_->setSpecialValueText(QStringLiteral("待たずに送る"));
    line_->setSpecialValueText(QStringLiteral("待たずに送る"));
    video_->setMinimum(0.1);
    line_->setValue(1000.0); // where an edit starts while lines follow the frames
    lineFollows_->setObjectName(QStringLiteral("lineFollows"));
    connect(lineFollows_, &QCheckBox::toggled, line_, &QDoubleSpinBox::setDisabled);

    auto *apply = new QPushButton(QStringLiteral("この速さにする"), this);
    apply->setObjectName(QStringLiteral("ratesApply"));
    auto *reset = new QPushButton(QStringLiteral("既定の速さ"), this);
    reset->setObjectName(QStringLiteral("ratesDefault"));
    connect(apply, &QPushButton::clicked, this, &RateBox::apply);
    connect(reset, &QPushButton::clicked, this, &RateBox::defaults);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("エリア走査（フレーム/秒）:"), this), 0, 0);
    grid->addWidget(frame_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("エリア走査（ライン/秒）:"), this), 1, 0);
    grid->addWidget(line_, 1, 1);
    grid->addWidget(lineFollows_, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("ライブ映像（フレーム/秒）:"), this), 2, 0);
    grid->addWidget(video_, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(reset);
    grid->addLayout(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    load();
}

void RateBox::load()
{
    double frames = 0, lines = 0, video = 0;
    SimGetRates(&frames, &lines, &video);
    frame_->setValue(frames);
    lineFollows_->setChecked(lines < 0);
    if (lines >= 0)
        line_->setValue(lines);
    video_->setValue(video);
}

void RateBox::apply()
{
    SimSetFrameRate(frame_->value());
    if (lineFollows_->isChecked())
        SimSetLineRateFollowsFrames();
    else
        SimSetLineRate(line_->value());
    SimSetVideoRate(video_->value());
    load();
    const QString lines = lineFollows_->isChecked()
                              ? QStringLiteral("フレームに合わせる")
                              : QStringLiteral("ライン %1").arg(number(line_->value()));
    report_(QStringLiteral("速さを変えました（フレーム/秒、ライン/秒）: 走査 %1、%2、映像 %3。")
                .arg(number(frame_->value()), lines, number(video_->value())));
}

void RateBox::defaults()
{
    SimSetFrameRate(kDefaultFrames);
    SimSetLineRateFollowsFrames();
    SimSetVideoRate(kDefaultVideo);
    load();
    report_(QStringLiteral("既定の速さに戻しました。"));
}

} // namespace simpanel
