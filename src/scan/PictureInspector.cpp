#include "scan/PictureInspector.h"

#include "framework/Look.h"
#include "scan/HistogramView.h"
#include "scan/LineProfileView.h"
#include "scan/ScanImage.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace {

QLabel *ValueLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(110);
    return label;
}

QString ZoomText(double zoom)
{
    if (zoom >= 1)
        return QStringLiteral("倍率：%1:1").arg(zoom, 0, 'g', 3);
    return QStringLiteral("倍率：1:%1").arg(1 / zoom, 0, 'g', 3);
}

} // namespace

PictureInspector::PictureInspector(const ScanImage &image,
                                   std::function<void(std::uint32_t)> openDump, QWidget *parent)
    : QWidget(parent, Qt::Window), openDump_(std::move(openDump)),
      canvas_(new InspectorCanvas(this)),
      profile_(new LineProfileView(LineProfileView::Along::Line, this)),
      histogram_(new HistogramView(this)),
      columnProfile_(new LineProfileView(LineProfileView::Along::Column, this)),
      regionHistogram_(new HistogramView(this)), charts_(new QTabWidget(this)), feed_(image, [this] { OnFeedReady(); })
{
    setWindowTitle(QStringLiteral("拡大表示"));
    setFont(fw::TemplateFont("ＭＳ Ｐゴシック", 9));

    sizeLabel_ = new QLabel(this);
    frameLabel_ = new QLabel(this);
    historyLabel_ = new QLabel(this);
    auto *probeBox = new QGroupBox(this);
    probeTitle_ = new QLabel(probeBox);
    auto *grid = new QGridLayout(probeBox);
    grid->addWidget(probeTitle_, 0, 0, 1, 2);
    const char *names[] = {"ライン：", "画素：", "値(Hex)：", "値(10進)：", "オフセット(Hex)："};
    QLabel **values[] = {&lineLabel_, &pixelLabel_, &hexLabel_, &decimalLabel_, &offsetLabel_};
    for (int i = 0; i < 5; ++i) {
        grid->addWidget(new QLabel(QString::fromUtf8(names[i]), probeBox), i + 1, 0);
        *values[i] = ValueLabel(probeBox);
        grid->addWidget(*values[i], i + 1, 1);
    }
    dumpButton_ = new QPushButton(QStringLiteral("この位置をダンプ表示"), probeBox);
    grid->addWidget(dumpButton_, 6, 0, 1, 2);
    QObject::connect(dumpButton_, &QPushButton::clicked, [this] {
        if (const std::optional<ImagePixel> p = Probe())
            DumpAt(*p);
    });

    zoomLabel_ = new QLabel(this);
    auto *fit = new QPushButton(QStringLiteral("全体表示"), this);
    auto *actual = new QPushButton(QStringLiteral("1:1"), this);
    QObject::connect(fit, &QPushButton::clicked, [this] { canvas_->Fit(); });
    QObject::connect(actual, &QPushButton::clicked, [this] {
        canvas_->ZoomAt(1.0, QPointF(canvas_->width() / 2.0, canvas_->height() / 2.0));
    });
    auto *zoomRow = new QHBoxLayout;
    zoomRow->addWidget(fit);
    zoomRow->addWidget(actual);

    auto *hint = new QLabel(QStringLiteral("ホイール：拡大・縮小　ドラッグ：移動\n"
                                           "クリック：位置を固定（もう一度で解除）\n"
                                           "矢印キー：1画素移動（Shift：10画素）\n"
                                           "Ctrl＋ドラッグ：範囲を選択（Ctrl＋C：値をコピー）\n"
                                           "PageUp または ,：前のフレーム　PageDown または .：次のフレーム\n"
                                           "End：最新のフレームに戻る"),
                            this);
    auto *side = new QVBoxLayout;
    side->addWidget(sizeLabel_);
    side->addWidget(frameLabel_);
    side->addWidget(historyLabel_);
    side->addWidget(probeBox);
    side->addWidget(zoomLabel_);
    side->addLayout(zoomRow);
    side->addLayout(BuildLevelsRow());
    side->addWidget(hint);
    side->addStretch(1);
    regionHistogram_->SetTitle(QStringLiteral("選択範囲（Ctrl＋ドラッグで選択）"));
    charts_->addTab(histogram_, QStringLiteral("画像全体"));
    charts_->addTab(regionHistogram_, QStringLiteral("選択範囲"));
    side->addWidget(charts_);

    auto *top = new QHBoxLayout;
    top->addWidget(canvas_, 1);
    top->addLayout(side);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    auto *profiles = new QHBoxLayout;
    profiles->addWidget(profile_, 3);
    profiles->addWidget(columnProfile_, 1);
    all->addLayout(profiles);

    canvas_->onHover = [this](std::optional<ImagePixel> p) { OnHover(p); };
    canvas_->onPinned = [this](std::optional<ImagePixel> p) { OnPinned(p); };
    canvas_->onZoomChanged = [this] { OnZoomChanged(); };
    canvas_->onContextMenu = [this](QPoint at, std::optional<ImagePixel> p) { OnCanvasMenu(at, p); };
    canvas_->onRegion = [this](std::optional<PixelRect> r) { OnRegion(r); };
    canvas_->onCopy = [this] { CopyRegion(); };
    histogram_->onWindowDragged = [this](GreyWindow w) { SetWindow(w); };

    resize(1000, 760);
    OnZoomChanged();
    ShowFrameTexts();
    RefreshProbe();
    feed_.Request(true);
}

PictureInspector::~PictureInspector()
{
    feed_.Stop();
}

void PictureInspector::ImageChanged()
{
    feed_.Request();
}

void PictureInspector::Shutdown()
{
    shutDown_ = true;
    ++shutdownsRunning_;
    const QPointer<PictureInspector> self(this);
    feed_.Stop(); // pumps: the scan tool's window, and this child with it, may go meanwhile
    if (!self)
        return;
    --shutdownsRunning_;
    if (discarded_ && shutdownsRunning_ == 0)
        Discard(); // discarded while the stop waited
}

// A deletion queued while a Shutdown waits could run inside that wait, under the Shutdown still
// on the stack: it is queued once the last one has returned.
void PictureInspector::Discard()
{
    discarded_ = true;
    hide();
    if (shutdownsRunning_ != 0 || deleteQueued_)
        return;
    deleteQueued_ = true;
    deleteLater(); // the scan tool's pointer to it clears itself
}

void PictureInspector::closeEvent(QCloseEvent *event)
{
    event->accept();
    const QPointer<PictureInspector> self(this);
    Shutdown();
    if (self)
        Discard();
}

void PictureInspector::SetDumpAvailable(bool available)
{
    dumpAvailable_ = available;
    RefreshProbe();
}

void PictureInspector::OnFeedReady()
{
    std::shared_ptr<const InspectorSnapshot> snapshot = feed_.Take();
    if (!snapshot)
        return;
    history_.Add(snapshot);
    if (shown_ == nullptr) {
        ShowSnapshot(*snapshot);
        return;
    }
    if (history_.IndexOf(shown_) == history_.Size()) { // the frame shown was dropped: the oldest
        shown_ = history_.At(0).get();
        ShowSnapshot(*history_.At(0));
        return;
    }
    ShowFrameTexts();
}

void PictureInspector::ShowSnapshot(const InspectorSnapshot &snapshot)
{
    const bool newSize = !frame_ || frame_->PixelBytes() != snapshot.frame->PixelBytes();
    frame_ = snapshot.frame;
    canvas_->SetFrame(frame_);
    histogram_->SetHistogram(snapshot.histogram, frame_->MaxSample());
    imageStats_ = snapshot.stats;
    histogram_->SetFigures(imageStats_, frame_->PixelBytes(), canvas_->HexValues());
    if (newSize || !windowSet_) {
        // 8 bits as they are; wider samples from where they lie.
        windowSet_ = imageStats_->count != 0;
        if (frame_->PixelBytes() == 1)
            SetWindow(GreyWindow{0, 255});
        else
            AutoWindow();
        ShowWindow(); // the choices suit the pixel size even before the window can be set
    }
    OnRegion(canvas_->Region()); // the region's figures of the new frame
    if (frame_->Empty())
        sizeLabel_->setText(QStringLiteral("データがありません。"));
    else
    {
        QString status = QStringLiteral("%1 x %2 画素、%3bit")
                             .arg(frame_->Pixels())
                             .arg(frame_->Lines())
                             .arg(frame_->PixelBytes() * 8);
        if (const std::uint32_t missing = frame_->UndeliveredLines())
            status += QStringLiteral("\n未転送 %1 ライン（斜線）").arg(missing);
        sizeLabel_->setText(status);
    }
    if (hover_ && (hover_->line >= frame_->Lines() || hover_->pixel >= frame_->Pixels()))
        hover_.reset();
    ShowFrameTexts();
    RefreshProbe();
}

void PictureInspector::OnHover(std::optional<ImagePixel> p)
{
    if (p == hover_)
        return;
    hover_ = p;
    if (!pinned_)
        RefreshProbe();
}

void PictureInspector::OnPinned(std::optional<ImagePixel> p)
{
    pinned_ = p;
    RefreshProbe();
}

void PictureInspector::OnZoomChanged()
{
    zoomLabel_->setText(ZoomText(canvas_->Zoom()));
}

void PictureInspector::OnCanvasMenu(QPoint globalPos, std::optional<ImagePixel> p)
{
    QMenu menu(this);
    QAction *dump = menu.addAction(QStringLiteral("この位置をダンプ表示"));
    dump->setEnabled(p.has_value() && !dumpRunning_ && dumpAvailable_);
    menu.addSeparator();
    QAction *copy = menu.addAction(QStringLiteral("選択範囲の値をコピー"));
    copy->setEnabled(canvas_->Region() && canvas_->Region()->Count() <= kMaxCopiedValues);
    QAction *fit = menu.addAction(QStringLiteral("全体表示"));
    QPointer<PictureInspector> self(this);
    QAction *chosen = menu.exec(globalPos);
    if (!self || !chosen)
        return;
    if (chosen == dump && p)
        DumpAt(*p);
    else if (chosen == copy)
        CopyRegion();
    else if (chosen == fit)
        canvas_->Fit();
}

std::string PictureInspector::StatusShown() const
{
    return sizeLabel_->text().toStdString();
}

PictureInspector::ProbeTexts PictureInspector::ProbeShown() const
{
    return {lineLabel_->text().toStdString(), pixelLabel_->text().toStdString(),
            hexLabel_->text().toStdString(), decimalLabel_->text().toStdString(),
            offsetLabel_->text().toStdString()};
}

void PictureInspector::RefreshProbe()
{
    const std::optional<ImagePixel> p = Probe();
    const bool valid = p && frame_ && p->line < frame_->Lines() && p->pixel < frame_->Pixels();
    probeTitle_->setText(pinned_ ? QStringLiteral("固定した位置") : QStringLiteral("カーソルの位置"));
    if (!valid) {
        for (QLabel *label : {lineLabel_, pixelLabel_, hexLabel_, decimalLabel_, offsetLabel_})
            label->setText(QStringLiteral("-"));
        dumpButton_->setEnabled(false);
        profile_->SetLine(frame_, std::nullopt, std::nullopt);
        columnProfile_->SetLine(frame_, std::nullopt, std::nullopt);
        return;
    }
    const std::uint32_t sample = frame_->Sample(p->line, p->pixel);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%0*X", int(frame_->PixelBytes() * 2), sample);
    char offset[24];
    std::snprintf(offset, sizeof offset, "%llX",
                  static_cast<unsigned long long>(frame_->Offset(p->line, p->pixel)));
    lineLabel_->setText(QString::number(p->line));
    pixelLabel_->setText(QString::number(p->pixel));
    if (frame_->Delivered(p->line)) {
        hexLabel_->setText(QString::fromLatin1(hex));
        decimalLabel_->setText(QString::number(sample));
    } else { // its bytes are an earlier frame's or the Start's zeros, not this frame's
        hexLabel_->setText(QStringLiteral("未転送"));
        decimalLabel_->setText(QStringLiteral("未転送"));
    }
    offsetLabel_->setText(QString::fromLatin1(offset));
    dumpButton_->setEnabled(!dumpRunning_ && dumpAvailable_);
    profile_->SetLine(frame_, p->line, p->pixel);
    columnProfile_->SetLine(frame_, p->pixel, p->line);
}

void PictureInspector::DumpAt(ImagePixel p)
{
    if (dumpRunning_ || !dumpAvailable_ || !frame_ || p.line >= frame_->Lines() ||
        p.pixel >= frame_->Pixels() || !openDump_)
        return;
    const auto offset = std::uint32_t(frame_->Offset(p.line, p.pixel));
    dumpRunning_ = true;
    dumpButton_->setEnabled(false);
    QPointer<PictureInspector> self(this);
    openDump_(offset); // a modal run: the window may be gone when it returns
    if (!self)
        return;
    dumpRunning_ = false;
    RefreshProbe();
}
