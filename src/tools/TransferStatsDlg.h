// The transfer statistics window ("転送統計") of a tool that receives images (the scan tool, the
// live display): what its hook recorded (counts, frame rates delivered and shown, intervals
// between frames, MB/s), the board's lost-image counters and the library's hook calls, a chart
// of the latest intervals, Reset and a CSV file. A plain Qt window of its own, owned by the tool,
// which destroys it when it closes. UI thread only; the figures are read from the recorder the
// hook writes (no lock), the board's counters at most once a second.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Messages.h"
#include "ops/TransferStats.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class IntervalChart;
class QLabel;
class QTimer;
class QWidget;

struct TransferStatsSource {
    std::string toolName;                       // completes the caption
    std::shared_ptr<ops::TransferStats> stats;  // what the tool's hook records
    std::function<std::uint64_t()> framesShown; // UI thread: pictures the tool has shown so far
    BoardHandle board = 0;
    fw::WindowHandle owner = 0; // the tool's window, owner of the boxes
    bool scanRows = true;       // area size errors and line overruns apply to the tool
};

class TransferStatsDlg {
public:
    // The current run's figures (since the tool's last Start), the totals since the window
    // opened, and the board's counters (board-wide: every tool's deliveries).
    enum class Field {
        Deliveries, Frames, Lines, DeliveredFps, ShownFps, AverageFps, IntervalMin, IntervalMedian,
        IntervalP99, IntervalMax, MBps, SizeErrors, LostRuns,
        TotalRuns, TotalDeliveries, TotalFrames, TotalLines, TotalSizeErrors, TotalLostRuns,
        NoRequest, HookBusy, LibraryHookCalls
    };

    explicit TransferStatsDlg(TransferStatsSource source);
    ~TransferStatsDlg();
    TransferStatsDlg(const TransferStatsDlg &) = delete;
    TransferStatsDlg &operator=(const TransferStatsDlg &) = delete;

    void Show(); // shows and raises the window, refreshed at once
    void Close();
    bool IsVisible() const;

    // Reads the figures and shows them; the board's counters only when a second has gone since
    // they were last read (or when `board` asks for them now).
    void Refresh(bool board = false);
    void OnReset();
    void OnSaveCsv();
    std::string FieldText(Field field) const;
    bool HasField(Field field) const { return values_.count(field) != 0; }
    QWidget *widget() const { return window_.get(); }
    const IntervalChart &chart() const { return *chart_; }

private:
    void SetField(Field field, const std::string &text);
    std::string Csv(const ops::TransferStats::Figures &f) const;

    TransferStatsSource source_;
    std::unique_ptr<QWidget> window_;
    std::map<Field, QLabel *> values_; // children of window_
    IntervalChart *chart_ = nullptr;   // child of window_
    std::unique_ptr<QTimer> timer_;

    using Clock = std::chrono::steady_clock;
    bool boardRead_ = false;
    Clock::time_point boardReadAt_{};
    int32_t noRequest_ = 0, hookBusy_ = 0;
    uint32_t libraryHookCalls_ = 0;
    bool boardReadFailed_ = false;
    // The rates of the last second: frames delivered and shown when it began.
    Clock::time_point rateAt_{};
    uint64_t rateFrames_ = 0, rateShown_ = 0;
    double deliveredFps_ = 0, shownFps_ = 0;
};
