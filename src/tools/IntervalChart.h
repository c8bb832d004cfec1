// A small chart of the latest intervals between frames: one bar per interval, oldest on the left,
// scaled to the longest one shown, with a value axis on the left and a time axis below (how long
// before the latest frame each bar ended). UI thread only.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

class IntervalChart : public QWidget {
public:
    explicit IntervalChart(QWidget *parent = nullptr);

    // The intervals in microseconds, oldest first; only the latest that fit the width are drawn.
    void SetIntervals(std::vector<double> intervalsUs);
    const std::vector<double> &Intervals() const { return intervals_; }

    // An axis mark: where (view x for time, view y for values) and its label.
    struct Tick {
        double at;
        QString text;
    };
    std::vector<Tick> ValueTicks() const;
    std::vector<Tick> TimeTicks() const;
    // A duration in the unit that suits it (us, ms, s).
    static QString DurationText(double us);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect Plot() const;
    std::size_t Shown() const; // bars drawn: the latest that fit
    double Top() const;        // the value at the top of the plot

    std::vector<double> intervals_;
};
