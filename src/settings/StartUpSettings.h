// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingKey.h"

#include <cmath>

// The main window's keys, group "StartUp". Window geometry is in twips
// (1/1440 inch); the style keys carry the Style menu's item names.
namespace StartUpSettings {
inline const QString Group = QStringLiteral("StartUp");

// Twips beyond any screen: a million is some 700 inches. Beyond it a stored
// geometry is damage, not a choice, and reads as the default.
inline constexpr float FarTwips = 1e6f;
inline bool SensiblePosition(float twips)
{
    return std::isfinite(twips) && twips >= -FarTwips && twips <= FarTwips;
}
inline bool SensibleHeight(float twips)
{
    return std::isfinite(twips) && twips >= 0 && twips <= FarTwips;
}

// The window's left and top edge. Their default is where the window stands,
// which the reader passes in.
inline const SettingKey<float> PositionLeft{
    Group, QStringLiteral("Position-Left"), 0, StrictSingle, ShortestDecimal, SensiblePosition};
inline const SettingKey<float> PositionTop{
    Group, QStringLiteral("Position-Top"), 0, StrictSingle, ShortestDecimal, SensiblePosition};
// Stored for other programs; nothing here reads them, so any whole number
// stays as stored.
inline const SettingKey<int> PowerMode{Group, QStringLiteral("PwrMode"), 0, StrictInt, IntegerText};
inline const SettingKey<int> Range{Group, QStringLiteral("Range"), 3, StrictInt, IntegerText};
inline const SettingKey<int> Scale{Group, QStringLiteral("Scale"), 0, StrictInt, IntegerText};
inline const SettingKey<int> Alarm{Group, QStringLiteral("Alarm"), 0, StrictInt, IntegerText};
// The window's height with title bar, menu bar and frame; read leniently.
inline const SettingKey<float> Height{Group,         QStringLiteral("Height"), 3495,
                                      LenientSingle, ShortestDecimal,          SensibleHeight};
inline const SettingKey<bool> SetupStyle{Group, QStringLiteral("mnuSetup"), true, StoredBool,
                                         BoolText};
inline const SettingKey<bool> SmallStyle{Group, QStringLiteral("mnuSmall"), false, StoredBool,
                                         BoolText};
inline const SettingKey<bool> VectorStyle{Group, QStringLiteral("mnuVector"), false, StoredBool,
                                          BoolText};
// Any 16-bit number stays as stored: numbers beyond the listed ports open
// their [Ports] device or /dev/ttyS<N-1>, and numbers below 1 fail to open
// like a missing port.
inline const SettingKey<qint16> PortNumber{Group, QStringLiteral("ComPort"), 5, StrictInt16,
                                           [](qint16 n) { return QString::number(n); }};
// The poll period in milliseconds; a stored period outside the range the
// window's scroll bar offers reads as the default.
inline const SettingKey<qint16> PollPeriod{Group, QStringLiteral("Pollrate"), 80, StrictInt16,
                                           [](qint16 n) { return QString::number(n); }};
inline constexpr qint16 ShortestPollPeriod = 50;
inline constexpr qint16 LongestPollPeriod = 5000;

// What the first run stores, the window's position where it stands; only
// "Position-Left" marks a first run, and its absence resets every key.
inline QList<StoredText> FirstRunTexts(float leftTwips, float topTwips)
{
    return {PositionLeft.text(leftTwips),
            PositionTop.text(topTwips),
            PowerMode.text(PowerMode.defaultValue),
            Height.text(Height.defaultValue),
            SetupStyle.text(SetupStyle.defaultValue),
            SmallStyle.text(SmallStyle.defaultValue),
            VectorStyle.text(VectorStyle.defaultValue),
            PortNumber.text(PortNumber.defaultValue),
            PollPeriod.text(PollPeriod.defaultValue),
            Range.text(Range.defaultValue)};
}
} // namespace StartUpSettings
