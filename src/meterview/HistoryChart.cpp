// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryChart.h"

#include "MeterScales.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

namespace {
const QColor PowerColour{0, 110, 190};
const QColor SwrColour{0, 140, 70};
const QColor ClampedColour{192, 0, 0};

QScatterSeries* MarkSeries(const QString& name)
{
    auto* series = new QScatterSeries;
    series->setName(name);
    series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series->setMarkerSize(6);
    series->setColor(ClampedColour);
    series->setBorderColor(ClampedColour);
    return series;
}
} // namespace

HistoryChart::HistoryChart(QWidget* parent)
    : QChartView(new QChart, parent), chart_(chart()), timeAxis_(new QDateTimeAxis),
      powerAxis_(new QValueAxis), swrAxis_(new QValueAxis), power_(new QLineSeries),
      swr_(new QLineSeries), powerMarks_(MarkSeries(tr("Off the scale or no reading"))),
      swrMarks_(MarkSeries(tr("Clamped or no SWR")))
{
    // Given to the base at construction: setChart() would leave the view's
    // own first chart behind.
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setAlignment(Qt::AlignTop);
    power_->setName(tr("Power (W)"));
    power_->setPen(QPen(PowerColour, 2));
    swr_->setName(tr("SWR"));
    swr_->setPen(QPen(SwrColour, 2));
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(power_), static_cast<QAbstractSeries*>(swr_),
          static_cast<QAbstractSeries*>(powerMarks_), static_cast<QAbstractSeries*>(swrMarks_)})
        chart_->addSeries(series);
    // One legend entry for the dots is enough.
    chart_->legend()->markers(swrMarks_).constFirst()->setVisible(false);
    chart_->legend()->markers(powerMarks_).constFirst()->setVisible(false);

    timeAxis_->setTitleText(tr("Time"));
    powerAxis_->setTitleText(tr("Power (W)"));
    powerAxis_->setLabelFormat(QStringLiteral("%g"));
    powerAxis_->setLinePenColor(PowerColour);
    powerAxis_->setLabelsColor(PowerColour);
    swrAxis_->setTitleText(tr("SWR"));
    swrAxis_->setLabelFormat(QStringLiteral("%.1f"));
    swrAxis_->setLinePenColor(SwrColour);
    swrAxis_->setLabelsColor(SwrColour);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(powerAxis_, Qt::AlignLeft);
    chart_->addAxis(swrAxis_, Qt::AlignRight);
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(power_), static_cast<QAbstractSeries*>(powerMarks_)}) {
        series->attachAxis(timeAxis_);
        series->attachAxis(powerAxis_);
    }
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(swr_), static_cast<QAbstractSeries*>(swrMarks_)}) {
        series->attachAxis(timeAxis_);
        series->attachAxis(swrAxis_);
    }
    setRenderHint(QPainter::Antialiasing);
    // Below this Qt Charts elides the axis labels to "...".
    setMinimumHeight(250);
}

void HistoryChart::redraw(const ReadingHistory& history, qint64 nowMs, int spanMinutes)
{
    const qint64 fromMs = nowMs - qint64(spanMinutes) * 60 * 1000;
    // About one slice per pixel of the plot: finer would not show.
    const int buckets = std::clamp(static_cast<int>(chart_->plotArea().width()), 50, 2000);
    const ReadingHistory::Curves curves = history.curves(fromMs, nowMs, buckets);

    timeAxis_->setFormat(spanMinutes <= 5 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm"));
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(fromMs),
                        QDateTime::fromMSecsSinceEpoch(nowMs));
    powerAxis_->setRange(0, NiceCeiling(curves.highestPower));
    swrAxis_->setRange(1, std::max(3.0, NiceCeiling(curves.highestSwr)));
    power_->replace(curves.power);
    swr_->replace(curves.swr);
    powerMarks_->replace(curves.powerMarks);
    swrMarks_->replace(curves.swrMarks);
    // The dots' legend entry only while there are dots to explain.
    chart_->legend()
        ->markers(powerMarks_)
        .constFirst()
        ->setVisible(!curves.powerMarks.isEmpty() || !curves.swrMarks.isEmpty());
}

qsizetype HistoryChart::powerPoints() const
{
    return power_->count();
}

qsizetype HistoryChart::swrPoints() const
{
    return swr_->count();
}

double HistoryChart::powerAxisTop() const
{
    return powerAxis_->max();
}

double HistoryChart::swrAxisTop() const
{
    return swrAxis_->max();
}

qsizetype HistoryChart::markedPoints() const
{
    return powerMarks_->count() + swrMarks_->count();
}
