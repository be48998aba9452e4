// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingsDisplay.h"

#include <QApplication>
#include <array>

void ShowReadings(const MainControls& c, const StatusRecord& r, const ReadingState& state,
                  const QLocale& locale)
{
    c.meterTextLabel->setText(r.meterText);

    // The layout captions the first box "Resistance" and the third
    // "Impedance", so the two values go under their own captions.
    if (VectorValid(r)) {
        const std::array values{r.resistance, r.phase, r.impedance, r.reactance};
        for (std::size_t i = 0; i < values.size(); ++i)
            SetBoxText(c.vectorBoxes[i], GeneralNumberText(values[i], locale));
    } else {
        for (ReadingBox* box : c.vectorBoxes)
            SetBoxText(box, NoVectorValueText());
    }

    if (r.peakFlag == 0) {
        c.peakLabel->hide();
        c.normalLabel->show();
    } else if (r.peakFlag == 1) {
        c.peakLabel->show();
        c.normalLabel->hide();
    }

    if (const AlarmStep* step = AlarmStepFor(r.alarmSetting)) {
        c.alarmSettingLabel->setText(AlarmCaption(r.alarmSetting));
        // Off leaves the button as the last setting coloured it.
        if (!step->off())
            c.alarmButton->setFaceColour(
                state.alarmShown ? AlarmRed
                                 : QApplication::palette(c.alarmButton).color(QPalette::Button));
    }

    c.powerLabel->setText(PowerText(r.power, locale));
    SetBoxText(c.swrBox, SwrText(r.swr, locale));
    c.wattLabel->show();
}
