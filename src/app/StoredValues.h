#pragma once

#include <QString>
#include <optional>

// Conversions between stored setting texts and values. A strict conversion
// gives nothing for a text that is not wholly a number; the caller falls
// back to the key's first-run default.

std::optional<float> StrictSingle(const QString& text);
// The leading number of the text, 0 when there is none.
float LenientSingle(const QString& text);
// The nearest 16-bit integer (halves to even).
std::optional<qint16> StrictInt16(const QString& text);
// "True" or "False".
std::optional<bool> StoredBool(const QString& text);

// The shortest decimal text that reads back as the same value: whole
// numbers have no decimal point.
QString ShortestDecimal(float value);
QString BoolText(bool value);
