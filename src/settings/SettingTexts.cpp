// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingTexts.h"

#include <QLocale>
#include <cmath>
#include <limits>

double LeadingNumber(QStringView text)
{
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            compact.append(c);
    }

    // Take the longest prefix of the shape [+-]digits[.digits] and convert
    // that alone, so the meter's "." never depends on the user's locale.
    qsizetype end = 0;
    if (end < compact.size() && (compact[end] == u'+' || compact[end] == u'-'))
        ++end;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; end < compact.size(); ++end) {
        const QChar c = compact[end];
        if (c >= u'0' && c <= u'9') {
            seenDigit = true;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0;
    bool ok = false;
    const double value = QStringView(compact).left(end).toDouble(&ok);
    return ok ? value : 0;
}

std::optional<float> StrictSingle(const QString& text)
{
    bool ok = false;
    const float value = QLocale::c().toFloat(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<float> LenientSingle(const QString& text)
{
    // A number beyond the float range has no float to become: converting it
    // would be undefined, and infinity makes no window size.
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const double value = LeadingNumber(text);
    if (!std::isfinite(value) || std::abs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(value);
}

std::optional<qint16> StrictInt16(const QString& text)
{
    bool ok = false;
    const double value = std::nearbyint(QLocale::c().toDouble(text.trimmed(), &ok));
    // "nan" converts, and a NaN passes every comparison below unnoticed.
    if (!ok || !std::isfinite(value) || value < std::numeric_limits<qint16>::min() ||
        value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<int> StrictInt(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<double> StrictDouble(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> StoredBool(const QString& text)
{
    if (text == u"True")
        return true;
    if (text == u"False")
        return false;
    return std::nullopt;
}

std::optional<bool> LowerCaseBool(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == u"true")
        return true;
    if (t == u"false")
        return false;
    return std::nullopt;
}

std::optional<QString> TrimmedText(const QString& text)
{
    return text.trimmed();
}

QString ShortestDecimal(float value)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    return c.toString(value == 0 ? 0.0f : value, 'f', QLocale::FloatingPointShortest);
}

QString ShortestDecimal(double value)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    return c.toString(value == 0 ? 0.0 : value, 'f', QLocale::FloatingPointShortest);
}

QString IntegerText(int value)
{
    return QString::number(value);
}

QString BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString LowerCaseBoolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString PlainText(QString text)
{
    return text;
}

QString RefusalText(const QString& path, const QString& text, const QString& allowed)
{
    return QStringLiteral("%1: \"%2\" is not allowed: %3").arg(path, text, allowed);
}
