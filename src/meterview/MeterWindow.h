// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MaximumHold.h"
#include "ReadingHistory.h"
#include "StatusReply.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class BarMeter;
class HistoryChart;
class QComboBox;
class QDoubleSpinBox;
class SettingsStore;

// Tools > Meter Window: forward power and SWR as large bars with peak
// markers, and their history over the last minutes. Readings arrive as fast
// as the meter is polled; the window draws at most RedrawsPerSecond times a
// second and, while hidden, only keeps the history.
class MeterWindow : public QWidget {
    Q_OBJECT
public:
    explicit MeterWindow(SettingsStore& store, QWidget* parent = nullptr);
    ~MeterWindow() override;

    static constexpr int RedrawsPerSecond = 5;
    // The chart's shortest time between redraws.
    static constexpr int ChartIntervalMs = 1000;
    static constexpr int HistoryChoices[] = {1, 5, 15, 60};

    int historyMinutes() const { return historyMinutes_; }
    void setHistoryMinutes(int minutes);
    int peakHoldMs() const { return powerHold_.holdMs(); }

    const BarMeter& powerBar() const { return *powerBar_; }
    const BarMeter& swrBar() const { return *swrBar_; }
    const HistoryChart& chart() const { return *chart_; }
    ReadingHistory& history() { return history_; }
    // How often the bars and the chart were drawn from new readings.
    int barRedraws() const { return barRedraws_; }
    int chartRedraws() const { return chartRedraws_; }

    // The clocks behind the peak markers and the history; tests drive them.
    void setClocks(const MaximumHold::Clock& steadyMs, std::function<qint64()> epochMs);

public Q_SLOTS:
    // Matches the main window's readingAccepted signal.
    void showReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown);
    // Reads the hold time and the span from the settings again.
    void reloadSettings();
    // Draws the latest readings now instead of at the next redraw.
    void redrawNow();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void redraw(bool forceChart);
    void saveSettings();

    SettingsStore& store_;
    BarMeter* powerBar_;
    BarMeter* swrBar_;
    HistoryChart* chart_;
    QComboBox* spanBox_;
    QDoubleSpinBox* holdBox_;
    QTimer redrawTimer_;
    MaximumHold powerHold_;
    MaximumHold swrHold_;
    ReadingHistory history_;
    std::function<qint64()> epochMs_;
    StatusRecord latest_;
    bool alarmShown_ = false;
    bool barsDirty_ = false;
    int historyMinutes_ = 5;
    qint64 chartDrawnAt_ = 0;
    int barRedraws_ = 0;
    int chartRedraws_ = 0;
};
