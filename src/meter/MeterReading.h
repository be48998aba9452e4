// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatusReply.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// One of the meter's SWR-alarm settings, 0 (Off) to 4.
struct AlarmStep {
    const char* caption; // as the window shows it: "Off", "1.5" ...
    double threshold;    // the SWR it sounds at; 0 for Off
    bool needsPower;     // the SWR counts only while the power is above 1 W

    // The one place that says what Off is: the step with nothing to sound at.
    bool off() const { return threshold == 0; }
};

// The step a setting names, or none unless it is a whole number from 0 to 4.
const AlarmStep* AlarmStepFor(double setting);
// The step's caption ("Off", "1.5" ... "3.0"); empty for a setting that names no step.
QString AlarmCaption(double setting);
// The SWR the alarm is set to; nothing while it is off or for a setting that names no step.
std::optional<double> AlarmThreshold(double setting);
// Whether the meter's alarm sounds at this step for these readings. Off never does.
bool AlarmSounds(const AlarmStep& step, double power, double swr);

// The impedance values mean something only once the meter's vector gate is open.
inline bool VectorValid(const StatusRecord& record)
{
    return record.vectorGate > 15;
}

// Resistance and reactance as magnitudes, from impedance and phase in
// degrees. The meter's own arithmetic divides by 57.3, not by 180/pi.
void CalcVector(StatusRecord& record);

// What a run follows from reply to reply besides the record itself.
struct ReadingState {
    // The meter's alarm setting last seen, 0 to 4; 0 until a reply says otherwise.
    qint32 alarmSetting = 0;
    // Whether the alarm colour shows.
    bool alarmShown = false;
};

// After an accepted reply: fills the record's derived fields and follows the
// meter's alarm setting. A setting of Off leaves the alarm shown as the last
// setting left it, as the meter's own display does.
void FollowReading(StatusRecord& record, ReadingState& state);
