// The picture inspector's line profile: the samples of one image line across the view, each
// view column drawn from the lowest to the highest sample it covers (so no spike is lost on a
// long line), with the probed pixel marked. UI thread only.
#pragma once

#include "scan/ScanFrame.h"

#include <QWidget>

#include <memory>
#include <optional>

class LineProfileView : public QWidget {
public:
    explicit LineProfileView(QWidget *parent = nullptr);

    // The line to draw (none: an empty plot) and the pixel to mark.
    void SetLine(std::shared_ptr<const ScanFrame> frame, std::optional<std::uint32_t> line,
                 std::optional<std::uint32_t> markedPixel);
    std::optional<std::uint32_t> Line() const { return line_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::shared_ptr<const ScanFrame> frame_;
    std::optional<std::uint32_t> line_;
    std::optional<std::uint32_t> marked_;
};
