// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReadingHistory.h"

#include <QChartView>

class QChart;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// Power (left scale) and SWR (right scale) over the chosen span, with the
// clock time along the bottom. Readings clamped to the chart's edges are
// marked with a dot.
class HistoryChart : public QChartView {
    Q_OBJECT
public:
    explicit HistoryChart(QWidget* parent = nullptr);

    // Draws the span of `spanMinutes` that ends at `nowMs`.
    void redraw(const ReadingHistory& history, qint64 nowMs, int spanMinutes);

    // How many points each curve has after the last redraw.
    qsizetype powerPoints() const;
    qsizetype swrPoints() const;
    double powerAxisTop() const;
    double swrAxisTop() const;
    qsizetype markedPoints() const;

private:
    QChart* chart_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* powerAxis_;
    QValueAxis* swrAxis_;
    QLineSeries* power_;
    QLineSeries* swr_;
    QScatterSeries* powerMarks_;
    QScatterSeries* swrMarks_;
};
