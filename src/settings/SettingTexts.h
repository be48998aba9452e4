// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Conversions between stored texts and values. A strict conversion gives
// nothing for a text that is not wholly a number; the reader falls back to
// the key's default.

// Lenient text-to-number conversion: blanks, tabs and line feeds are dropped
// wherever they stand, then the longest leading number with an optional sign
// and "." as decimal point is read; 0 when there is none. The meter's reply
// fields and the stored window height are read this way.
double LeadingNumber(QStringView text);

std::optional<float> StrictSingle(const QString& text);
// The leading number of the text, 0 when there is none; nothing when that
// number is beyond the float range.
std::optional<float> LenientSingle(const QString& text);
// The nearest 16-bit integer (halves to even); nothing for NaN, infinity or
// a number out of range.
std::optional<qint16> StrictInt16(const QString& text);
std::optional<int> StrictInt(const QString& text);
std::optional<double> StrictDouble(const QString& text);
// "True" or "False", as the window's keys store them.
std::optional<bool> StoredBool(const QString& text);
// "true" or "false", as the keys that other programs and scripts set.
std::optional<bool> LowerCaseBool(const QString& text);
// Any text, surrounding blanks removed.
std::optional<QString> TrimmedText(const QString& text);

// The shortest decimal text that reads back as the same value: whole
// numbers have no decimal point.
QString ShortestDecimal(float value);
QString ShortestDecimal(double value);
QString IntegerText(int value);
QString BoolText(bool value);
QString LowerCaseBoolText(bool value);
QString PlainText(QString text);

// Why a text can't be stored under a key: `Mqtt/Rate: "70" is not allowed: a
// whole number from 1 to 50`.
QString RefusalText(const QString& path, const QString& text, const QString& allowed);
