// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QTextStream>

// The reference host's server and target objects: one class, since the two
// interfaces are defined together. Each instance is exported with the
// adaptor of its own role only.
class ReferenceHost : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    struct Behaviour {
        bool failReports = false; // answer ReportValue with an error
        bool hang = false;        // never answer a report
        bool wrongTarget = false; // GetTarget names an object without the target interface
        int exitAfter = 0;        // exit after this many reports; 0: never
        // Answer the first call after firstDelayMs, then answer nothing at all.
        bool hangAfterFirst = false;
        int firstDelayMs = 0;
        // Answer each report this many milliseconds late; 0: at once.
        int answerDelayMs = 0;
    };

    static const QString ServerPath;
    static const QString TargetPath;

    ReferenceHost(const Behaviour& behaviour, QTextStream& out, QObject* parent = nullptr);

public Q_SLOTS:
    QDBusObjectPath GetTarget();
    void ReportValue(int code, int index, double value, const QString& text);

Q_SIGNALS:
    void done();

private:
    bool hangHere();
    // The reply to the first call in hangAfterFirst mode; false for a later call.
    bool answerFirstThenHang(const QVariant& value);

    Behaviour behaviour_;
    QTextStream& out_;
    int reports_ = 0;
    bool answered_ = false;
};
