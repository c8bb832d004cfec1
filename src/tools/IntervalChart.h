// A small chart of the latest intervals between frames: one bar per interval, oldest on the left,
// scaled to the longest one shown, with that scale written in the corner. UI thread only.
#pragma once

#include <QWidget>

#include <vector>

class IntervalChart : public QWidget {
public:
    explicit IntervalChart(QWidget *parent = nullptr);

    // The intervals in microseconds, oldest first; only the latest that fit the width are drawn.
    void SetIntervals(std::vector<double> intervalsUs);
    const std::vector<double> &Intervals() const { return intervals_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<double> intervals_;
};
