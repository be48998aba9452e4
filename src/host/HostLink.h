// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// The link to the station-control program's automation service: a server
// object and the target object it names, which takes the reports.
class HostLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // What became of one report handed to reportValue().
    enum class ReportOutcome {
        Answered,   // the host took it
        Refused,    // the host answered with an error
        Unanswered, // no answer within a second, or the link ended first
        NotSent,    // never went out: no target, or too many waiting for answers
    };
    Q_ENUM(ReportOutcome)

    // Builds a fresh link, now or later without waiting for the host, and
    // emits linkTried() when it is done. A step that fails is skipped and
    // leaves what the link held before; no error is reported.
    virtual void createLink() = 0;
    // Whether there is a target to report to.
    virtual bool isLinked() const = 0;
    // Sends one report to the target without waiting for its answer. A report
    // the host refuses or leaves unanswered for a second empties the link and
    // emits failed(), at the latest by a later report.
    virtual void reportValue(int code, int index, double value, const QString& text) = 0;
    // Forgets the link, so no call goes to a host that failed.
    virtual void clear() = 0;

Q_SIGNALS:
    // A report failed or went unanswered; the link is empty now.
    void failed(const QString& reason);
    // The host's bus name has got an owner: a host has (re)started.
    void hostAppeared();
    // An attempt to link has ended, linked or not.
    void linkTried();
    // A report's fate is known; every report handed over gets exactly one.
    void reportSettled(HostLink::ReportOutcome outcome);
};
