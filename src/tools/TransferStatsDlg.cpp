#include "tools/TransferStatsDlg.h"

#include "framework/FileDialog.h"
#include "framework/Look.h"
#include "framework/MessageBox.h"
#include "ops/CheckedFile.h"
#include "ops/OperationInfo.h"
#include "tools/IntervalChart.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kRefreshMs = 250;
constexpr auto kBoardEvery = std::chrono::seconds(1);

using Field = TransferStatsDlg::Field;

// The window's rows in order: a section heading (field unused) or a figure. Scan-only rows
// are left out for a tool they do not apply to.
const struct {
    Field field;
    const char *label;
    bool heading = false;
    bool scanOnly = false;
} kRows[] = {
    {Field::Deliveries, "今回の開始から", true},
    {Field::Deliveries, "Hook呼び出し回数"},
    {Field::Frames, "フレーム数"},
    {Field::Lines, "ライン数"},
    {Field::DeliveredFps, "受信フレームレート"},
    {Field::ShownFps, "表示フレームレート"},
    {Field::AverageFps, "平均フレームレート"},
    {Field::IntervalMin, "フレーム間隔 最小"},
    {Field::IntervalMedian, "フレーム間隔 中央値"},
    {Field::IntervalP99, "フレーム間隔 99%"},
    {Field::IntervalMax, "フレーム間隔 最大"},
    {Field::MBps, "転送速度"},
    {Field::SizeErrors, "エリアサイズエラー", false, true},
    {Field::LostRuns, "Lineスキャン オーバーラン", false, true},
    {Field::TotalRuns, "ウィンドウを開いてから", true},
    {Field::TotalRuns, "開始回数"},
    {Field::TotalDeliveries, "Hook呼び出し回数"},
    {Field::TotalFrames, "フレーム数"},
    {Field::TotalLines, "ライン数"},
    {Field::TotalSizeErrors, "エリアサイズエラー", false, true},
    {Field::TotalLostRuns, "Lineスキャン オーバーラン", false, true},
    {Field::NoRequest, "基板全体 (すべてのツール)", true},
    {Field::NoRequest, "取得要求なしで失われた画像"},
    {Field::HookBusy, "Hook処理中に失われた画像"},
    {Field::LibraryHookCalls, "ライブラリのHook呼び出し"},
};

template <typename... Args>
std::string Format(const char *format, Args... args)
{
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string Count(uint64_t n)
{
    return Format("%llu", static_cast<unsigned long long>(n));
}

// yyyy/mm/dd hh:mm:ss.mmm in local time, as spreadsheets read a time stamp.
std::string LocalTime(std::chrono::system_clock::time_point t)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    const std::time_t seconds = std::time_t(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return Format("%s.%03d", text, int(ms % 1000));
}

std::string Micros(double us, uint64_t count)
{
    return count == 0 ? "-" : Format("%.1f us", us);
}

} // namespace

TransferStatsDlg::TransferStatsDlg(TransferStatsSource source) : source_(std::move(source))
{
    window_ = std::make_unique<QWidget>(nullptr, Qt::Window);
    window_->setWindowTitle(QString::fromStdString("転送統計 - " + source_.toolName));
    window_->setFont(fw::TemplateFont("ＭＳ Ｐゴシック", 9));
    window_->setAutoFillBackground(true);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(fw::kDialogBackground));
    palette.setColor(QPalette::WindowText, Qt::black);
    window_->setPalette(palette);

    auto *layout = new QVBoxLayout(window_.get());
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    int row = 0;
    for (const auto &r : kRows) {
        if (r.scanOnly && !source_.scanRows)
            continue;
        if (r.heading) {
            auto *heading = new QLabel(QString::fromUtf8(r.label), window_.get());
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            grid->addWidget(heading, row, 0, 1, 2);
            ++row;
            continue;
        }
        auto *label = new QLabel(QString::fromUtf8(r.label), window_.get());
        auto *value = new QLabel("-", window_.get());
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(110);
        grid->addWidget(label, row, 0);
        grid->addWidget(value, row, 1);
        values_[r.field] = value;
        ++row;
    }
    layout->addLayout(grid);
    chart_ = new IntervalChart(window_.get());
    layout->addWidget(chart_);
    auto *buttons = new QHBoxLayout;
    auto *reset = new QPushButton("リセット", window_.get());
    auto *save = new QPushButton("CSVで保存...", window_.get());
    reset->setObjectName("reset");
    save->setObjectName("saveCsv");
    buttons->addStretch(1);
    buttons->addWidget(reset);
    buttons->addWidget(save);
    layout->addLayout(buttons);
    QObject::connect(reset, &QPushButton::clicked, [this] { OnReset(); });
    QObject::connect(save, &QPushButton::clicked, [this] { OnSaveCsv(); });

    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(kRefreshMs);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        if (IsVisible())
            Refresh();
        else
            timer_->stop();
    });
}

TransferStatsDlg::~TransferStatsDlg()
{
    timer_->stop();
}

void TransferStatsDlg::Show()
{
    window_->show();
    window_->raise();
    window_->activateWindow();
    Refresh(true);
    timer_->start();
}

void TransferStatsDlg::Close()
{
    timer_->stop();
    window_->hide();
}

bool TransferStatsDlg::IsVisible() const
{
    return window_->isVisible();
}

void TransferStatsDlg::SetField(Field field, const std::string &text)
{
    const auto it = values_.find(field);
    if (it != values_.end()) // a row that does not apply to the tool is not there
        it->second->setText(QString::fromStdString(text));
}

std::string TransferStatsDlg::FieldText(Field field) const
{
    const auto it = values_.find(field);
    return it == values_.end() ? std::string() : it->second->text().toStdString();
}

void TransferStatsDlg::Refresh(bool board)
{
    const ops::TransferStats::Figures f = source_.stats->Snapshot();
    const uint64_t shown = source_.framesShown ? source_.framesShown() : 0;
    const Clock::time_point now = Clock::now();

    // Rates over the last second or so: frames delivered and pictures shown.
    const double span = std::chrono::duration<double>(now - rateAt_).count();
    if (rateAt_ == Clock::time_point{} || f.frames < rateFrames_ || shown < rateShown_) {
        rateAt_ = now; // first reading, or a reset
        rateFrames_ = f.frames;
        rateShown_ = shown;
        deliveredFps_ = shownFps_ = 0;
    } else if (span >= 1.0) {
        deliveredFps_ = double(f.frames - rateFrames_) / span;
        shownFps_ = double(shown - rateShown_) / span;
        rateAt_ = now;
        rateFrames_ = f.frames;
        rateShown_ = shown;
    }

    if (board || !boardRead_ || now - boardReadAt_ >= kBoardEvery) {
        ops::OperationHistory history;
        const ops::OperationInfoRead read = ops::ReadOperationInfo(source_.board, history);
        boardRead_ = true;
        boardReadAt_ = now;
        boardReadFailed_ = !read.result.ok();
        if (!boardReadFailed_) {
            noRequest_ = read.notifiedNoRequest;
            hookBusy_ = read.notifiedHookBusy;
            libraryHookCalls_ = history.first;
        }
    }

    SetField(Field::Deliveries, Count(f.deliveries));
    SetField(Field::Frames, Count(f.frames));
    SetField(Field::Lines, Count(f.lines));
    SetField(Field::DeliveredFps, Format("%.2f fps", deliveredFps_));
    SetField(Field::ShownFps, Format("%.2f fps", shownFps_));
    SetField(Field::AverageFps, Format("%.2f fps", f.framesPerSecond));
    SetField(Field::IntervalMin, Micros(f.intervals.minUs, f.intervals.count));
    SetField(Field::IntervalMedian, Micros(f.intervals.medianUs, f.intervals.count));
    SetField(Field::IntervalP99, Micros(f.intervals.p99Us, f.intervals.count));
    SetField(Field::IntervalMax, Micros(f.intervals.maxUs, f.intervals.count));
    SetField(Field::MBps, Format("%.1f MB/s", f.mbPerSecond));
    SetField(Field::SizeErrors, Count(f.sizeErrors));
    SetField(Field::LostRuns, Count(f.lostRuns));
    SetField(Field::TotalRuns, Count(f.totals.runs));
    SetField(Field::TotalDeliveries, Count(f.totals.deliveries));
    SetField(Field::TotalFrames, Count(f.totals.frames));
    SetField(Field::TotalLines, Count(f.totals.lines));
    SetField(Field::TotalSizeErrors, Count(f.totals.sizeErrors));
    SetField(Field::TotalLostRuns, Count(f.totals.lostRuns));
    const std::string unread = "取得失敗";
    SetField(Field::NoRequest, boardReadFailed_ ? unread : Count(uint64_t(noRequest_)));
    SetField(Field::HookBusy, boardReadFailed_ ? unread : Count(uint64_t(hookBusy_)));
    SetField(Field::LibraryHookCalls, boardReadFailed_ ? unread : Count(libraryHookCalls_));
    chart_->SetIntervals(f.recentUs);
}

void TransferStatsDlg::OnReset()
{
    source_.stats->Reset();
    rateAt_ = Clock::time_point{};
    Refresh();
}

std::string TransferStatsDlg::Csv(const ops::TransferStats::Figures &f) const
{
    std::string csv = "項目,値\r\n";
    auto row = [&csv](const char *name, const std::string &value) {
        csv += name;
        csv += ",";
        csv += value;
        csv += "\r\n";
    };
    // The current run first, under the names the window gives it (rates and intervals are its
    // own), then the totals since the window opened, then the board-wide counters.
    const bool scan = source_.scanRows;
    row("Hook呼び出し回数", Count(f.deliveries));
    row("フレーム数", Count(f.frames));
    row("ライン数", Count(f.lines));
    row("バイト数", Count(f.bytes));
    if (scan) {
        row("エリアサイズエラー", Count(f.sizeErrors));
        row("Lineスキャン オーバーラン", Count(f.lostRuns));
    }
    row("経過時間(s)", Format("%.6f", f.seconds));
    row("平均フレームレート(fps)", Format("%.3f", f.framesPerSecond));
    row("転送速度(MB/s)", Format("%.3f", f.mbPerSecond));
    row("フレーム間隔数", Count(f.intervals.count));
    row("フレーム間隔 最小(us)", Format("%.1f", f.intervals.minUs));
    row("フレーム間隔 中央値(us)", Format("%.1f", f.intervals.medianUs));
    row("フレーム間隔 99%(us)", Format("%.1f", f.intervals.p99Us));
    row("フレーム間隔 最大(us)", Format("%.1f", f.intervals.maxUs));
    row("ウィンドウを開いてから 開始回数", Count(f.totals.runs));
    row("ウィンドウを開いてから Hook呼び出し回数", Count(f.totals.deliveries));
    row("ウィンドウを開いてから フレーム数", Count(f.totals.frames));
    row("ウィンドウを開いてから ライン数", Count(f.totals.lines));
    row("ウィンドウを開いてから バイト数", Count(f.totals.bytes));
    if (scan) {
        row("ウィンドウを開いてから エリアサイズエラー", Count(f.totals.sizeErrors));
        row("ウィンドウを開いてから Lineスキャン オーバーラン", Count(f.totals.lostRuns));
    }
    if (!boardReadFailed_ && boardRead_) {
        row("基板全体 取得要求なしで失われた画像", Count(uint64_t(noRequest_)));
        row("基板全体 Hook処理中に失われた画像", Count(uint64_t(hookBusy_)));
        row("基板全体 ライブラリのHook呼び出し", Count(libraryHookCalls_));
    }
    csv += "\r\n番号,フレーム間隔(us)\r\n";
    for (std::size_t i = 0; i < f.recentUs.size(); ++i)
        csv += Format("%zu,%.1f\r\n", i + 1, f.recentUs[i]);
    // When each frame came: the time the hook that completed it was entered (the host's clock;
    // the board reports none), local time to the millisecond, and since the run's first delivery.
    csv += "\r\nフレーム,受信時刻,開始からの時間(ms)\r\n";
    const auto steadyNow = ops::TransferStats::Clock::now();
    const auto wallNow = std::chrono::system_clock::now();
    for (std::size_t i = 0; i < f.recentFrames.size(); ++i) {
        const auto at = wallNow - std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                      steadyNow - f.recentFrames[i]);
        const std::chrono::duration<double, std::milli> since = f.recentFrames[i] - f.firstDelivery;
        csv += Format("%llu,%s,%.3f\r\n", static_cast<unsigned long long>(f.firstRecentFrame + i),
                      LocalTime(at).c_str(), since.count());
    }
    return csv;
}

// The figures are taken before the file dialog opens, so the file holds what the window showed
// when the button was pressed; nothing is held while the dialog runs.
void TransferStatsDlg::OnSaveCsv()
{
    Refresh(true);
    const std::string csv = Csv(source_.stats->Snapshot());
    fw::FileDialogRequest request;
    request.save = true;
    request.owner = source_.owner;
    request.initialName = "TransferStats.csv";
    request.filter = "CSVファイル (*.csv)|*.csv|すべてのファイル (*.*)|*.*";
    request.defaultExt = "csv";
    const std::optional<std::string> path = fw::ChooseFile(request);
    if (!path)
        return;
    // Written whole or not at all; a full disk shows as a failure, never as a saved file. The
    // byte-order mark tells spreadsheets on Japanese systems the text is UTF-8.
    if (!ops::WriteFileWhole(*path, "\xEF\xBB\xBF" + csv).ok())
        fw::MessageBox(source_.owner, "CSVファイルの書き込みに失敗しました。", std::nullopt, fw::MsgIcon::Stop);
}
