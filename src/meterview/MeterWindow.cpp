// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeterWindow.h"

#include "BarMeter.h"
#include "HistoryChart.h"
#include "MeterScales.h"
#include "MeterViewLog.h"
#include "MeterWindowSettings.h"
#include "ReadingsDisplay.h"

#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
const QColor SwrColour{0, 140, 70};
const QColor PowerColour{0, 110, 190};
} // namespace

MeterWindow::MeterWindow(SettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store),
      powerBar_(new BarMeter(tr("Forward power (W)"), this)),
      swrBar_(new BarMeter(tr("SWR"), this)), chart_(new HistoryChart(this)),
      spanBox_(new QComboBox(this)), holdBox_(new QDoubleSpinBox(this)),
      epochMs_([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    setObjectName(QStringLiteral("MeterWindow"));
    setWindowTitle(tr("Vossbridge - Meter"));

    powerBar_->setScale(PowerScale(history_.fullScale()));
    powerBar_->setBarColour(PowerColour);
    swrBar_->setScale(SwrScale());
    swrBar_->setBarColour(SwrColour);
    swrBar_->setUnderText(tr("no reading"));

    for (const int minutes : HistoryChoices)
        spanBox_->addItem(tr("%1 min").arg(minutes), minutes);
    holdBox_->setRange(0, 60);
    holdBox_->setDecimals(1);
    holdBox_->setSingleStep(0.5);
    holdBox_->setSuffix(tr(" s"));

    auto* spanLabel = new QLabel(tr("&History:"), this);
    spanLabel->setBuddy(spanBox_);
    auto* holdLabel = new QLabel(tr("&Peak hold:"), this);
    holdLabel->setBuddy(holdBox_);
    auto* options = new QHBoxLayout;
    options->addWidget(spanLabel);
    options->addWidget(spanBox_);
    options->addSpacing(16);
    options->addWidget(holdLabel);
    options->addWidget(holdBox_);
    options->addStretch();

    auto* column = new QVBoxLayout(this);
    column->addWidget(powerBar_, 2);
    column->addWidget(swrBar_, 2);
    column->addLayout(options);
    column->addWidget(chart_, 5);

    reloadSettings();
    const QString geometry = MeterWindowSettings::Geometry.read(store_);
    if (geometry.isEmpty() || !restoreGeometry(QByteArray::fromBase64(geometry.toLatin1())))
        resize(720, 560);

    connect(spanBox_, &QComboBox::activated, this,
            [this](int index) { setHistoryMinutes(spanBox_->itemData(index).toInt()); });
    connect(holdBox_, &QDoubleSpinBox::valueChanged, this, [this](double seconds) {
        const int ms = static_cast<int>(std::lround(seconds * 1000));
        if (ms == powerHold_.holdMs())
            return;
        powerHold_.setHoldMs(ms);
        swrHold_.setHoldMs(ms);
        saveSettings();
    });

    redrawTimer_.setInterval(1000 / RedrawsPerSecond);
    connect(&redrawTimer_, &QTimer::timeout, this, [this] { redraw(false); });
}

MeterWindow::~MeterWindow()
{
    // Destroyed with the main window while open: no hide event comes.
    if (isVisible())
        saveSettings();
}

void MeterWindow::setClocks(const MaximumHold::Clock& steadyMs, std::function<qint64()> epochMs)
{
    const int hold = powerHold_.holdMs();
    powerHold_ = MaximumHold(steadyMs);
    swrHold_ = MaximumHold(steadyMs);
    powerHold_.setHoldMs(hold);
    swrHold_.setHoldMs(hold);
    epochMs_ = std::move(epochMs);
}

void MeterWindow::reloadSettings()
{
    const int hold = MeterWindowSettings::PeakHoldMs.read(store_);
    powerHold_.setHoldMs(hold);
    swrHold_.setHoldMs(hold);
    {
        const QSignalBlocker quiet(holdBox_);
        holdBox_->setValue(hold / 1000.0);
    }
    historyMinutes_ = MeterWindowSettings::HistoryMinutes.read(store_);
    spanBox_->setCurrentIndex(spanBox_->findData(historyMinutes_));
    redraw(true);
}

void MeterWindow::setHistoryMinutes(int minutes)
{
    if (!MeterWindowSettings::HistoryMinutes.sensible(minutes) || minutes == historyMinutes_)
        return;
    historyMinutes_ = minutes;
    spanBox_->setCurrentIndex(spanBox_->findData(minutes));
    saveSettings();
    redraw(true);
}

void MeterWindow::saveSettings()
{
    store_.save({MeterWindowSettings::Geometry.text(QString::fromLatin1(saveGeometry().toBase64())),
                 MeterWindowSettings::HistoryMinutes.text(historyMinutes_),
                 MeterWindowSettings::PeakHoldMs.text(powerHold_.holdMs())});
}

void MeterWindow::showReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown)
{
    Q_UNUSED(alarmSetting)
    history_.addReading(epochMs_(), record);
    powerHold_.add(record.power);
    // An SWR below 1 is no reading and must not hold the marker down.
    if (record.swr >= 1)
        swrHold_.add(record.swr);
    latest_ = record;
    alarmShown_ = alarmShown;
    barsDirty_ = true;
}

void MeterWindow::redrawNow()
{
    redraw(true);
}

void MeterWindow::redraw(bool forceChart)
{
    if (!isVisible() && !forceChart)
        return;
    const QLocale locale;
    if (barsDirty_ || forceChart) {
        powerBar_->setScale(PowerScale(history_.fullScale()));
        if (latest_.received) {
            powerBar_->setReading(latest_.power, PowerText(latest_.power, locale));
            swrBar_->setReading(latest_.swr, SwrText(latest_.swr, locale));
        } else {
            powerBar_->clearReading();
            swrBar_->clearReading();
        }
        swrBar_->setBarColour(alarmShown_ ? AlarmRed : SwrColour);
        barsDirty_ = false;
        ++barRedraws_;
    }
    // The markers fall back on their own time, readings or not.
    powerBar_->setPeak(powerHold_.hasValue() ? powerHold_.level() : std::nan(""));
    swrBar_->setPeak(swrHold_.hasValue() ? swrHold_.level() : std::nan(""));

    // The chart moves by a pixel every span/width: drawing it more often
    // than that would show nothing new. A chart redraw lays out its axes and
    // legend again and costs far more than the bars, so even the shortest
    // span moves it only once a second.
    const qint64 now = epochMs_();
    const qint64 spanMs = qint64(historyMinutes_) * 60 * 1000;
    const qint64 pixelMs = spanMs / std::max(1, chart_->width());
    if (forceChart || now - chartDrawnAt_ >= std::max<qint64>(pixelMs, ChartIntervalMs) ||
        now < chartDrawnAt_) {
        chart_->redraw(history_, now, historyMinutes_);
        chartDrawnAt_ = now;
        ++chartRedraws_;
    }
}

void MeterWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    redraw(true);
    redrawTimer_.start();
}

void MeterWindow::hideEvent(QHideEvent* event)
{
    redrawTimer_.stop();
    if (!event->spontaneous())
        saveSettings();
    QWidget::hideEvent(event);
}
