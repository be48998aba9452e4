// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostLink.h"

#include <QLocale>
#include <QStringList>

// Records each report as "code index value text" and answers as told.
class FakeHostLink : public HostLink {
public:
    QStringList reports;
    int creations = 0;
    bool linked = false;
    bool createLinks = true;
    int failFromCall = -1; // the 0-based call from which reports fail; -1: never

    void createLink() override
    {
        ++creations;
        linked = linked || createLinks;
    }
    bool isLinked() const override { return linked; }
    bool reportValue(int code, int index, double value, const QString& text) override
    {
        const bool fails = failFromCall >= 0 && calls >= failFromCall;
        ++calls;
        reports << QStringLiteral("%1 %2 %3 \"%4\"")
                       .arg(code)
                       .arg(index)
                       .arg(QString::number(value, 'g', QLocale::FloatingPointShortest), text);
        return !fails;
    }
    void clear() override { linked = false; }

private:
    int calls = 0;
};
