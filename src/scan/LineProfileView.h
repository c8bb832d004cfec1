// The picture inspector's profiles: the samples of one image line (or one column) across the
// view, each view column drawn from the lowest to the highest sample it covers (so no spike is
// lost on a long line), with the probed pixel marked and a value axis. Lines the frame did not
// deliver have no samples to draw: the line's profile is empty, the column's has gaps there.
// UI thread only.
#pragma once

#include "scan/ScanFrame.h"

#include <QWidget>

#include <memory>
#include <optional>

class LineProfileView : public QWidget {
public:
    enum class Along { Line, Column };
    explicit LineProfileView(Along along = Along::Line, QWidget *parent = nullptr);

    // The line (or column) to draw (none: an empty plot) and the pixel (or line) to mark.
    void SetLine(std::shared_ptr<const ScanFrame> frame, std::optional<std::uint32_t> line,
                 std::optional<std::uint32_t> markedPixel);
    std::optional<std::uint32_t> Line() const { return line_; }
    void SetHexValues(bool hex);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::uint32_t Length() const; // samples along the profile
    std::uint32_t SampleAt(std::uint32_t i) const;

    Along along_;
    std::shared_ptr<const ScanFrame> frame_;
    std::optional<std::uint32_t> line_;
    std::optional<std::uint32_t> marked_;
    bool hex_ = true;
};
