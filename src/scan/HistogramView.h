// The picture inspector's histograms (the whole image's, a region's): 256 bins over the pixel
// size's range, drawn on a logarithmic count scale (the grid and text of a picture would flatten
// the rest), with the samples' minimum, maximum, mean and sigma, the lines left out as not
// delivered, the count under the cursor and, for the whole image, the grey window, which a drag
// across the chart sets. UI thread only.
#pragma once

#include "scan/SampleStats.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class HistogramView : public QWidget {
public:
    explicit HistogramView(QWidget *parent = nullptr);

    void SetTitle(const QString &title);
    // bins: samples per bin; maxSample: the largest value of the pixel size (for the axis).
    void SetHistogram(std::vector<std::uint64_t> bins, std::uint32_t maxSample);
    const std::vector<std::uint64_t> &Bins() const { return bins_; }
    // The figures lines (none: not measured), with the undelivered lines left out if any.
    void SetFigures(std::optional<SampleStats> stats, std::uint32_t pixelBytes, bool hex);
    // The window marked on the chart (none: not marked).
    void SetWindow(std::optional<GreyWindow> w);
    // A drag across the chart (UI thread): the window from where it began to where it ended.
    std::function<void(GreyWindow)> onWindowDragged;

    // The sample range of the bin under a view x and its count, as the cursor line shows it.
    std::optional<int> BinAt(int x) const;
    QString CursorText() const { return cursorText_; }
    QString FiguresText() const { return figures_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    int FigureLines() const; // text lines of the figures (two at least)
    QRect Plot() const;
    std::uint32_t ValueAt(int x) const; // the sample value at a view x, within the range
    int XOf(std::uint32_t v) const;

    QString title_;
    std::vector<std::uint64_t> bins_;
    std::uint32_t maxSample_ = 0xFF;
    QString figures_;
    QString cursorText_;
    std::optional<GreyWindow> window_;
    std::optional<int> dragFrom_;
    std::optional<int> dragTo_;
};
