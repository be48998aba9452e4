// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingTexts.h"

#include <QString>
#include <QStringView>
#include <optional>

// The meter's commands: three characters each, sent with no terminator.
inline constexpr QStringView PollCommand = u";P?";
inline constexpr QStringView AlarmCommand = u";A?";
inline constexpr QStringView PeakCommand = u";F?";

// Length of the one status reply the meter sends.
inline constexpr qsizetype StatusReplyLength = 43;

// The decoded fields of the last accepted status reply. Before the first
// accepted reply every number is 0 and the text is empty.
struct StatusRecord {
    // False until the first accepted reply: the fields are unset then, and
    // show as empty text.
    bool received = false;
    double power = 0;
    double impedance = 0;
    double phase = 0;
    // The meter's SWR-alarm setting: 0 off, 1 to 4 for 1.5, 2.0, 2.5, 3.0.
    double alarmSetting = 0;
    // Six characters the meter sends for display, blanks kept.
    QString meterText;
    // 0 for 2500 W full scale, 1 for 250 W, 2 for 25 W (PowerRangeFor).
    double rangeCode = 0;
    // 1 while the meter reads peak power, 0 for normal.
    double peakFlag = 0;
    // The vector values are meaningful only while this is above 15.
    double vectorGate = 0;
    double swr = 0;
    // Derived from impedance and phase right after each decoding.
    double resistance = 0;
    double reactance = 0;
};

// One of the meter's three power ranges.
struct PowerRange {
    double fullScaleWatts;
    const char* caption; // as the range label shows it, four characters wide: " 250"
    int rank;            // 1 for the lowest range up to PowerRangeCount for the highest
};
inline constexpr int PowerRangeCount = 3;

// The range a range code names: 0 is 2500 W, 1 is 250 W, 2 is 25 W; none for
// any other code, which every user treats as a full scale it does not know.
const PowerRange* PowerRangeFor(double rangeCode);
// The full scale of that range in watts; nothing for a code that names none.
std::optional<double> FullScaleWatts(double rangeCode);

// True exactly when the whole read is one status reply: 43 characters that
// begin with ";". Nothing is trimmed, searched or split first.
bool IsStatusReply(QStringView reply);

// Overwrites every field of the record from an accepted reply, in position
// order. No further validation: a field of garbage decodes to its leading
// number or 0. The derived fields are left to FollowReading.
void DecodeStatusReply(QStringView reply, StatusRecord& record);
