// The picture inspector ("拡大表示"): a window of its own on the scan tool's full-resolution
// image, with zoom and pan (InspectorCanvas), a probe of the pixel under the cursor or pinned by
// a click (line, pixel, raw sample in hex and decimal, byte offset in the image buffer), the
// profile of the probed line, the image's histogram, and "この位置をダンプ表示", which opens the
// scan tool's dump view at the probed sample's offset.
//
// It follows new frames through InspectorFeed: a thread copies the image off the UI thread, at
// most as often as the scan tool refreshes its picture (screen rate). UI thread only.
#pragma once

#include "scan/FrameHistory.h"
#include "scan/InspectorCanvas.h"
#include "scan/InspectorFeed.h"
#include "scan/SampleStats.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QKeyEvent;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class HistogramView;
class LineProfileView;
class ScanImage;

class PictureInspector : public QWidget {
public:
    // image outlives the window (the scan tool shuts the inspector down before it lets the
    // image go); openDump opens the dump view at a byte offset and returns when it has closed.
    PictureInspector(const ScanImage &image, std::function<void(std::uint32_t)> openDump,
                     QWidget *parent = nullptr);
    ~PictureInspector() override;

    // The scan tool's picture changed: take a new copy (screen rate at most).
    void ImageChanged();
    // Ends the feed's thread; the window then shows its last frame until it goes. Its wait pumps
    // events, so the other close (the window's own, or the scan tool's) may run inside it, and
    // the window may be gone when it returns (it is a child of the tool's window).
    void Shutdown();
    // Shut down or closed: it follows no frames any more and is about to go.
    bool IsShutDown() const { return shutDown_; }
    // Hides the window and deletes it once no Shutdown is on the stack any more.
    void Discard();
    // Whether the scan tool's own ダンプ表示 is available (not while a scan runs): the dump
    // entries here follow it.
    void SetDumpAvailable(bool available);
    const InspectorFeed &Feed() const { return feed_; }
    InspectorFeed &Feed() { return feed_; }

    // The probe's pixel: the pinned one, else the one under the cursor.
    std::optional<ImagePixel> Probe() const { return pinned_ ? pinned_ : hover_; }
    // The probe's texts as shown, for the tests.
    struct ProbeTexts {
        std::string line, pixel, hex, decimal, offset;
    };
    ProbeTexts ProbeShown() const;
    // The status line under the title: size, pixel size, undelivered lines.
    std::string StatusShown() const;
    // What "この位置をダンプ表示" does (the button and the view's context menu).
    void DumpAt(ImagePixel p);
    bool DumpRunning() const { return dumpRunning_; }

    InspectorCanvas *Canvas() const { return canvas_; }
    LineProfileView *Profile() const { return profile_; }
    LineProfileView *ColumnProfile() const { return columnProfile_; }
    HistogramView *RegionHistogram() const { return regionHistogram_; }
    // Values in hex (else decimal) in the view, the probe, the figures and copied text.
    void SetHexValues(bool hex);
    // The grey window (or bit shift) in the view and on the histogram; Auto: from the whole
    // image's figures.
    void SetWindow(GreyWindow w);
    void AutoWindow();
    const std::optional<SampleStats> &ImageStats() const { return imageStats_; }
    const std::optional<SampleStats> &RegionStats() const { return regionStats_; }
    // The region's values, a line per image line, tab between samples (empty: none or too many).
    QString RegionValuesText() const;
    static constexpr std::uint64_t kMaxCopiedValues = 1u << 20;
    HistogramView *Histogram() const { return histogram_; }
    QPushButton *DumpButton() const { return dumpButton_; }
    std::shared_ptr<const ScanFrame> Frame() const { return frame_; }

    // The frames received, oldest first; the one shown (Size() - 1 while it follows new ones).
    const FrameHistory &History() const { return history_; }
    std::size_t HistoryIndex() const;
    bool FollowsNewest() const { return shown_ == nullptr; }
    // Older (negative) or newer frames of the history; past the newest it follows new ones.
    void StepHistory(int by);
    void ShowNewest();
    // The shown frame's number, time and marks as the window writes them, and the history line.
    std::string FrameShown() const;
    std::string HistoryShown() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void OnFeedReady();
    void ShowSnapshot(const InspectorSnapshot &snapshot);
    void ShowFrameTexts(); // the frame's and the history's labels
    void OnHover(std::optional<ImagePixel> p);
    void OnPinned(std::optional<ImagePixel> p);
    void OnZoomChanged();
    void OnCanvasMenu(QPoint globalPos, std::optional<ImagePixel> p);
    void RefreshProbe(); // labels, profile and the dump button from the probe and the frame
    void OnRegion(std::optional<PixelRect> r);
    void CopyRegion();
    // The window's spin boxes, the bit shift, 自動 and the notation toggle.
    QLayout *BuildLevelsRow();
    void ShowWindow(); // the choices and the histogram from the canvas's window

    std::function<void(std::uint32_t)> openDump_;
    std::shared_ptr<const ScanFrame> frame_; // the copy shown
    FrameHistory history_;
    const InspectorSnapshot *shown_ = nullptr; // the history's entry shown; null: the newest
    std::optional<ImagePixel> hover_;
    std::optional<ImagePixel> pinned_;
    bool dumpRunning_ = false;
    bool dumpAvailable_ = false; // the scan tool's ダンプ表示 is enabled
    bool shutDown_ = false;
    int shutdownsRunning_ = 0;  // Shutdown calls on the stack (nested by their pumping waits)
    bool discarded_ = false;    // to be deleted once shutdownsRunning_ is 0
    bool deleteQueued_ = false;
    std::optional<SampleStats> imageStats_;
    std::optional<SampleStats> regionStats_;
    bool windowSet_ = false; // the window suits the frame's pixel size

    InspectorCanvas *canvas_;
    LineProfileView *profile_;
    HistogramView *histogram_;
    LineProfileView *columnProfile_;
    HistogramView *regionHistogram_;
    QTabWidget *charts_;
    QRadioButton *rangeButton_, *shiftButton_;
    QDoubleSpinBox *windowLo_, *windowHi_;
    QSpinBox *shiftBox_;
    QLabel *shiftBits_;
    QCheckBox *hexBox_;
    QLabel *sizeLabel_;
    QLabel *frameLabel_, *historyLabel_;
    QLabel *probeTitle_;
    QLabel *lineLabel_, *pixelLabel_, *hexLabel_, *decimalLabel_, *offsetLabel_;
    QLabel *zoomLabel_;
    QPushButton *dumpButton_;
    InspectorFeed feed_; // last: its wakes reach the widgets above
};
