// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QList>
#include <QPointF>
#include <deque>

// One reading as the chart keeps it. Values the chart can't show are clamped
// to its edges and marked.
struct HistorySample {
    enum Mark : quint8 {
        PowerClamped = 1, // below 0, above the range's full scale, or not a number
        SwrClamped = 2,   // above the chart's top, or not a number
        SwrUnset = 4,     // below 1: the meter had no SWR reading
    };
    qint64 timeMs = 0; // milliseconds since the epoch
    float power = 0;
    float swr = 1;
    float fullScale = 0;
    quint8 marks = 0;
};

// The readings of the last hour, never more than Capacity of them, thinned
// out for drawing.
class ReadingHistory {
public:
    static constexpr qint64 KeptMs = 60 * 60 * 1000;
    // An hour at a 10 ms poll; faster polls keep a shorter history.
    static constexpr qsizetype Capacity = 360000;
    // The top of the SWR chart; higher readings are clamped there.
    static constexpr double SwrTop = 10;

    // A time earlier than the newest sample (the clock was set back) is taken
    // as the newest sample's, so the history stays in order.
    void add(qint64 timeMs, double power, double fullScale, double swr);
    // An accepted reading, on the full scale its range code names; a code
    // that names none keeps the last known full scale.
    void addReading(qint64 timeMs, const StatusRecord& record);
    void clear();
    // The full scale of the newest reading's range, in watts.
    double fullScale() const { return fullScale_; }

    qsizetype size() const { return static_cast<qsizetype>(samples_.size()); }
    // Oldest first.
    const HistorySample& at(qsizetype i) const { return samples_[static_cast<size_t>(i)]; }

    struct Curves {
        QList<QPointF> power;
        QList<QPointF> swr;
        // The clamped or unset readings, where the curves draw them.
        QList<QPointF> powerMarks;
        QList<QPointF> swrMarks;
        double highestPower = 0;
        double highestSwr = 1;
        double highestFullScale = 0;
    };
    // The samples from `fromMs` to `toMs`, at most two points (the lowest and
    // the highest, in the order they came) per each of `buckets` equal slices
    // of the time, so a short spike survives the thinning.
    Curves curves(qint64 fromMs, qint64 toMs, int buckets) const;

private:
    qsizetype firstAtOrAfter(qint64 timeMs) const;

    std::deque<HistorySample> samples_;
    double fullScale_ = 2500;
};
