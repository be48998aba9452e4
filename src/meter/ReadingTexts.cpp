// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingTexts.h"

namespace {
QLocale Plain(QLocale locale)
{
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// -0 shows as 0.
double Unsigned0(double value)
{
    return value == 0 ? 0.0 : value;
}
} // namespace

QString GeneralNumberText(double value, const QLocale& locale)
{
    return Plain(locale).toString(Unsigned0(value), 'g', 15);
}

QString PowerText(double value, const QLocale& locale)
{
    return Plain(locale).toString(Unsigned0(value), 'f', 2);
}

QString SwrText(double value, const QLocale& locale)
{
    QString text = PowerText(value, locale);
    const qsizetype zero =
        text.startsWith(locale.negativeSign()) ? locale.negativeSign().size() : 0;
    if (text.mid(zero).startsWith(locale.zeroDigit() + locale.decimalPoint()))
        text.remove(zero, locale.zeroDigit().size());
    return text;
}

QString NoVectorValueText()
{
    return QStringLiteral("0.00");
}
