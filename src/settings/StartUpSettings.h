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

inline const QString PositionAllowed = QStringLiteral("a number of twips from -1000000 to 1000000");
inline const QString WholeNumber = QStringLiteral("a whole number");
inline const QString TrueOrFalse = QStringLiteral("True or False");
inline const QString Int16Allowed = QStringLiteral("a number from -32768 to 32767");

// The window's left and top edge. Their default is where the window stands,
// which the reader passes in.
inline const SettingKey<float> PositionLeft{Group,
                                            QStringLiteral("Position-Left"),
                                            0,
                                            StrictSingle,
                                            ShortestDecimal,
                                            SensiblePosition,
                                            PositionAllowed};
inline const SettingKey<float> PositionTop{Group,
                                           QStringLiteral("Position-Top"),
                                           0,
                                           StrictSingle,
                                           ShortestDecimal,
                                           SensiblePosition,
                                           PositionAllowed};
// Stored for other programs; nothing here reads them, so any whole number
// stays as stored.
inline const SettingKey<int> PowerMode{
    Group, QStringLiteral("PwrMode"), 0, StrictInt, IntegerText, nullptr, WholeNumber};
inline const SettingKey<int> Range{
    Group, QStringLiteral("Range"), 3, StrictInt, IntegerText, nullptr, WholeNumber};
inline const SettingKey<int> Scale{
    Group, QStringLiteral("Scale"), 0, StrictInt, IntegerText, nullptr, WholeNumber};
inline const SettingKey<int> Alarm{
    Group, QStringLiteral("Alarm"), 0, StrictInt, IntegerText, nullptr, WholeNumber};
// The window's height with title bar, menu bar and frame; read leniently.
inline const SettingKey<float> Height{Group,
                                      QStringLiteral("Height"),
                                      3495,
                                      LenientSingle,
                                      ShortestDecimal,
                                      SensibleHeight,
                                      QStringLiteral("a number of twips from 0 to 1000000")};
inline const SettingKey<bool> SetupStyle{
    Group, QStringLiteral("mnuSetup"), true, StoredBool, BoolText, nullptr, TrueOrFalse};
inline const SettingKey<bool> SmallStyle{
    Group, QStringLiteral("mnuSmall"), false, StoredBool, BoolText, nullptr, TrueOrFalse};
inline const SettingKey<bool> VectorStyle{
    Group, QStringLiteral("mnuVector"), false, StoredBool, BoolText, nullptr, TrueOrFalse};
// Any 16-bit number stays as stored: numbers beyond the listed ports open
// their [Ports] device or /dev/ttyS<N-1>, and numbers below 1 fail to open
// like a missing port.
inline const SettingKey<qint16> PortNumber{Group,
                                           QStringLiteral("ComPort"),
                                           5,
                                           StrictInt16,
                                           [](qint16 n) { return QString::number(n); },
                                           nullptr,
                                           Int16Allowed};
// The poll period in milliseconds, in the range the window's scroll bar
// offers; a stored period outside it reads as the default.
inline constexpr qint16 ShortestPollPeriod = 50;
inline constexpr qint16 LongestPollPeriod = 5000;
inline const SettingKey<qint16> PollPeriod{
    Group,
    QStringLiteral("Pollrate"),
    80,
    StrictInt16,
    [](qint16 n) { return QString::number(n); },
    [](qint16 n) { return n >= ShortestPollPeriod && n <= LongestPollPeriod; },
    QStringLiteral("a whole number of milliseconds from 50 to 5000")};

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
