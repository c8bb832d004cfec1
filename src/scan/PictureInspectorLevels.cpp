// The picture inspector's grey window (a range or a bit shift), notation and region.
// UI thread only.
#include "scan/HistogramView.h"
#include "scan/LineProfileView.h"
#include "scan/PictureInspector.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>

QLayout *PictureInspector::BuildLevelsRow()
{
    auto *grid = new QGridLayout;
    rangeButton_ = new QRadioButton(QStringLiteral("表示範囲："), this);
    rangeButton_->setChecked(true);
    grid->addWidget(rangeButton_, 0, 0);
    windowLo_ = new QDoubleSpinBox(this);
    windowHi_ = new QDoubleSpinBox(this);
    for (QDoubleSpinBox *box : {windowLo_, windowHi_}) {
        box->setDecimals(0);
        box->setRange(0, 255);
        box->setMinimumWidth(96);
        box->setKeyboardTracking(false);
        QObject::connect(box, &QDoubleSpinBox::valueChanged, this, [this] {
            SetWindow(GreyWindow{std::uint32_t(windowLo_->value()), std::uint32_t(windowHi_->value())});
        });
    }
    grid->addWidget(windowLo_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("～"), this), 0, 2);
    grid->addWidget(windowHi_, 0, 3);

    // Eight bits of the sample as they are, for 16 and 32-bit data.
    shiftButton_ = new QRadioButton(QStringLiteral("ビットシフト："), this);
    shiftButton_->setToolTip(
        QStringLiteral("画素値を右にシフトし、下位8ビットを濃淡として表示します"));
    grid->addWidget(shiftButton_, 1, 0);
    shiftBox_ = new QSpinBox(this);
    shiftBox_->setRange(0, 0);
    shiftBox_->setKeyboardTracking(false);
    grid->addWidget(shiftBox_, 1, 1);
    shiftBits_ = new QLabel(this);
    grid->addWidget(shiftBits_, 1, 2, 1, 2);
    auto *modes = new QButtonGroup(this);
    modes->addButton(rangeButton_);
    modes->addButton(shiftButton_);
    QObject::connect(shiftButton_, &QRadioButton::clicked, this, [this] {
        SetWindow(GreyWindow::Shift(shiftBox_->value(), frame_ ? frame_->MaxSample() : 255));
    });
    QObject::connect(rangeButton_, &QRadioButton::clicked, this, [this] {
        SetWindow(GreyWindow{std::uint32_t(windowLo_->value()), std::uint32_t(windowHi_->value())});
    });
    QObject::connect(shiftBox_, &QSpinBox::valueChanged, this, [this](int shift) {
        SetWindow(GreyWindow::Shift(shift, frame_ ? frame_->MaxSample() : 255));
    });

    auto *autoButton = new QPushButton(QStringLiteral("自動"), this);
    autoButton->setToolTip(QStringLiteral("画素の0.1%～99.9%を白黒の範囲にします"));
    QObject::connect(autoButton, &QPushButton::clicked, this, [this] { AutoWindow(); });
    grid->addWidget(autoButton, 2, 1);
    hexBox_ = new QCheckBox(QStringLiteral("値を16進で表示"), this);
    hexBox_->setChecked(true);
    QObject::connect(hexBox_, &QCheckBox::toggled, this, [this](bool on) { SetHexValues(on); });
    grid->addWidget(hexBox_, 2, 2, 1, 2);
    return grid;
}

void PictureInspector::SetWindow(GreyWindow w)
{
    const std::uint32_t top = frame_ ? frame_->MaxSample() : 255;
    if (w.Shifted()) {
        w = GreyWindow::Shift(w.shift, top);
    } else {
        w.hi = std::min(w.hi, top);
        w.lo = std::min(w.lo, top - 1);
        if (w.hi <= w.lo)
            w.hi = w.lo + 1;
    }
    canvas_->SetWindow(w);
    ShowWindow();
}

void PictureInspector::AutoWindow()
{
    if (frame_ && imageStats_ && imageStats_->count != 0)
        SetWindow(GreyWindow::Auto(*imageStats_, frame_->MaxSample()));
}

void PictureInspector::ShowWindow()
{
    const GreyWindow w = canvas_->Window();
    const QSignalBlocker blockLo(windowLo_), blockHi(windowHi_), blockShift(shiftBox_);
    const std::uint32_t top = frame_ ? frame_->MaxSample() : 255;
    windowLo_->setRange(0, top);
    windowHi_->setRange(0, top);
    if (!w.Shifted()) { // the range boxes keep the last range while a shift is shown
        windowLo_->setValue(w.lo);
        windowHi_->setValue(w.hi);
    }
    const int maxShift = GreyWindow::MaxShift(top);
    if (shiftBox_->maximum() != maxShift) { // a new pixel size: its top eight bits to begin with
        shiftBox_->setRange(0, maxShift);
        shiftBox_->setValue(maxShift);
    }
    if (w.Shifted())
        shiftBox_->setValue(w.shift);
    const int shift = shiftBox_->value();
    shiftBits_->setText(QStringLiteral("ビット %1～%2 を表示").arg(shift + 7).arg(shift));
    // 8-bit samples have no bits to shift.
    shiftButton_->setEnabled(maxShift != 0);
    shiftBox_->setEnabled(maxShift != 0);
    rangeButton_->setChecked(!w.Shifted());
    shiftButton_->setChecked(w.Shifted());
    histogram_->SetWindow(w);
}

void PictureInspector::SetHexValues(bool hex)
{
    if (hexBox_->isChecked() != hex)
        hexBox_->setChecked(hex); // comes back here through toggled
    canvas_->SetHexValues(hex);
    profile_->SetHexValues(hex);
    columnProfile_->SetHexValues(hex);
    const std::uint32_t bytes = frame_ ? frame_->PixelBytes() : 1;
    histogram_->SetFigures(imageStats_, bytes, hex);
    regionHistogram_->SetFigures(regionStats_, bytes, hex);
    // The probe's value in the chosen notation stands out.
    QFont bold = hexLabel_->font(), plain = bold;
    bold.setBold(true);
    plain.setBold(false);
    hexLabel_->setFont(hex ? bold : plain);
    decimalLabel_->setFont(hex ? plain : bold);
}

void PictureInspector::OnRegion(std::optional<PixelRect> r)
{
    if (!r || !frame_ || frame_->Empty()) {
        regionStats_.reset();
        regionHistogram_->SetTitle(QStringLiteral("選択範囲（Ctrl＋ドラッグで選択）"));
        regionHistogram_->SetHistogram({}, frame_ ? frame_->MaxSample() : 255);
        regionHistogram_->SetFigures(std::nullopt, 1, true);
        return;
    }
    regionStats_ = MeasureSamples(*frame_, *r);
    regionHistogram_->SetTitle(QStringLiteral("選択範囲：ライン %1・画素 %2 から %3x%4")
                                   .arg(r->line)
                                   .arg(r->pixel)
                                   .arg(r->pixels)
                                   .arg(r->lines));
    regionHistogram_->SetHistogram(regionStats_->Bins256(), frame_->MaxSample());
    regionHistogram_->SetFigures(regionStats_, frame_->PixelBytes(), canvas_->HexValues());
    charts_->setCurrentWidget(regionHistogram_);
}

QString PictureInspector::RegionValuesText() const
{
    const std::optional<PixelRect> r = canvas_->Region();
    if (!r || !frame_ || r->Count() > kMaxCopiedValues)
        return {};
    const std::uint32_t lineEnd = std::min(r->line + r->lines, frame_->Lines());
    const std::uint32_t pixelEnd = std::min(r->pixel + r->pixels, frame_->Pixels());
    QString text;
    for (std::uint32_t y = r->line; y < lineEnd; ++y) {
        const bool delivered = frame_->Delivered(y); // else its bytes are not this frame's
        for (std::uint32_t x = r->pixel; x < pixelEnd; ++x) {
            if (x != r->pixel)
                text += QLatin1Char('\t');
            text += delivered
                        ? InspectorCanvas::ValueText(frame_->Sample(y, x), frame_->PixelBytes(),
                                                     canvas_->HexValues())
                        : QStringLiteral("未転送");
        }
        text += QLatin1Char('\n');
    }
    return text;
}

void PictureInspector::CopyRegion()
{
    const QString text = RegionValuesText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}
