// The picture inspector's histogram of the whole image: 256 bins over the pixel size's range,
// drawn on a logarithmic count scale (the grid and text of a picture would flatten the rest).
// UI thread only.
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

class HistogramView : public QWidget {
public:
    explicit HistogramView(QWidget *parent = nullptr);

    // bins: samples per bin; maxSample: the largest value of the pixel size (for the axis).
    void SetHistogram(std::vector<std::uint64_t> bins, std::uint32_t maxSample);
    const std::vector<std::uint64_t> &Bins() const { return bins_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<std::uint64_t> bins_;
    std::uint32_t maxSample_ = 0xFF;
};
