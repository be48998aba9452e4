#include "StoredValues.h"

#include "StatusReply.h"

#include <QLocale>
#include <cmath>
#include <limits>

std::optional<float> StrictSingle(const QString& text)
{
    bool ok = false;
    const float value = QLocale::c().toFloat(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

float LenientSingle(const QString& text)
{
    return static_cast<float>(LeadingNumber(text));
}

std::optional<qint16> StrictInt16(const QString& text)
{
    bool ok = false;
    const double value = std::nearbyint(QLocale::c().toDouble(text.trimmed(), &ok));
    if (!ok || value < std::numeric_limits<qint16>::min() ||
        value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<bool> StoredBool(const QString& text)
{
    if (text == u"True")
        return true;
    if (text == u"False")
        return false;
    return std::nullopt;
}

QString ShortestDecimal(float value)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    return c.toString(value == 0 ? 0.0f : value, 'f', QLocale::FloatingPointShortest);
}

QString BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}
