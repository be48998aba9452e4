// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingsDisplay.h"

#include <QApplication>
#include <array>
#include <cmath>

namespace {
struct AlarmRow {
    const char* caption;
    double threshold;
    bool needsPower; // the SWR counts only while power is above 1 W
};
constexpr std::array<AlarmRow, 5> AlarmTable{{
    {"Off", 0, false},
    {"1.5", 1.5, true},
    {"2.0", 2.0, true},
    {"2.5", 2.5, true},
    {"3.0", 3.0, false},
}};

} // namespace

void CalcVector(StatusRecord& r)
{
    const double angle = r.phase / 57.3;
    r.resistance = std::abs(r.impedance * std::cos(angle));
    r.reactance = std::abs(r.impedance * std::sin(angle));
}

void RefreshReadings(const MainControls& c, StatusRecord& r, qint32& alarmState,
                     const QLocale& locale)
{
    c.meterTextLabel->setText(r.meterText);

    CalcVector(r);

    // The layout captions the first box "Resistance" and the third
    // "Impedance", so the two values go under their own captions.
    if (VectorValuesValid(r)) {
        const std::array values{r.resistance, r.phase, r.impedance, r.reactance};
        for (std::size_t i = 0; i < values.size(); ++i)
            SetBoxText(c.vectorBoxes[i], GeneralNumberText(values[i], locale));
    } else {
        for (QLineEdit* box : c.vectorBoxes)
            SetBoxText(box, QStringLiteral("0.00"));
    }

    if (r.peakFlag == 0) {
        c.peakLabel->hide();
        c.normalLabel->show();
    } else if (r.peakFlag == 1) {
        c.peakLabel->show();
        c.normalLabel->hide();
    }

    const double mode = r.alarmSetting;
    if (mode >= 0 && mode <= 4 && mode == std::floor(mode)) {
        const auto setting = static_cast<qint32>(mode);
        const AlarmRow& row = AlarmTable[static_cast<std::size_t>(setting)];
        c.alarmSettingLabel->setText(QString::fromLatin1(row.caption));
        alarmState = setting;
        // Off leaves the button as the last setting coloured it.
        if (setting != 0) {
            const bool alarm = (!row.needsPower || r.power > 1) && r.swr >= row.threshold;
            c.alarmButton->setFaceColour(
                alarm ? AlarmRed : QApplication::palette(c.alarmButton).color(QPalette::Button));
        }
    }

    c.powerLabel->setText(PowerText(r.power, locale));
    SetBoxText(c.swrBox, SwrText(r.swr, locale));
    c.wattLabel->show();
}
