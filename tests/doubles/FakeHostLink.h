// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostLink.h"

#include <QLocale>
#include <QStringList>

// Records each report as "code index value text" and answers as told: a
// failing report empties the link and says so at once, as the real link
// does for a failure it finds while sending; a hanging one is left
// unanswered. Every report settles at once.
class FakeHostLink : public HostLink {
public:
    QStringList reports;
    int creations = 0;
    bool linked = false;
    bool createLinks = true;
    int failFromCall = -1; // the 0-based call from which reports fail; -1: never
    bool hangs = false;    // a failing report goes unanswered rather than refused

    void createLink() override
    {
        ++creations;
        linked = linked || createLinks;
        Q_EMIT linkTried();
    }
    bool isLinked() const override { return linked; }
    void reportValue(int code, int index, double value, const QString& text) override
    {
        const bool fails = failFromCall >= 0 && calls >= failFromCall;
        ++calls;
        reports << QStringLiteral("%1 %2 %3 \"%4\"")
                       .arg(code)
                       .arg(index)
                       .arg(QString::number(value, 'g', QLocale::FloatingPointShortest), text);
        if (fails) {
            linked = false;
            Q_EMIT reportSettled(hangs ? ReportOutcome::Unanswered : ReportOutcome::Refused);
            Q_EMIT failed(hangs ? QStringLiteral("no answer") : QStringLiteral("refused"));
        } else {
            Q_EMIT reportSettled(ReportOutcome::Answered);
        }
    }
    void clear() override { linked = false; }

private:
    int calls = 0;
};
