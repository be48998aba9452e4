// SPDX-License-Identifier: GPL-3.0-or-later
// vossbridge-host: a reference host for Vossbridge's reports. It owns the bus
// name org.vossbridge.Host1 on the session bus and prints each report as one
// line: time, code, index, value and the quoted text.
#include "ReferenceHost.h"
#include "hostadaptor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <algorithm>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vossbridge-host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reference host for Vossbridge: prints every report it receives."));
    parser.addHelpOption();
    const QCommandLineOption fail(QStringLiteral("fail-reports"),
                                  QStringLiteral("Answer every report with an error."));
    const QCommandLineOption hang(QStringLiteral("hang"),
                                  QStringLiteral("Never answer a report, like a hung host."));
    const QCommandLineOption wrong(QStringLiteral("wrong-target"),
                                   QStringLiteral("Name a target object that does not take "
                                                  "reports."));
    const QCommandLineOption exitAfter(QStringLiteral("exit-after"),
                                       QStringLiteral("Exit after <n> reports."),
                                       QStringLiteral("n"));
    const QCommandLineOption hangAfterFirst(
        QStringLiteral("hang-after-first"),
        QStringLiteral("Answer the first call, then hang the whole process."));
    const QCommandLineOption firstDelay(QStringLiteral("first-delay"),
                                        QStringLiteral("With --hang-after-first: answer the "
                                                       "first call after <ms> milliseconds."),
                                        QStringLiteral("ms"));
    const QCommandLineOption answerDelay(QStringLiteral("answer-delay"),
                                         QStringLiteral("Answer each report <ms> milliseconds "
                                                        "after taking it."),
                                         QStringLiteral("ms"));
    parser.addOptions({fail, hang, wrong, exitAfter, hangAfterFirst, firstDelay, answerDelay});
    parser.process(app);

    ReferenceHost::Behaviour behaviour;
    behaviour.failReports = parser.isSet(fail);
    behaviour.hang = parser.isSet(hang);
    behaviour.wrongTarget = parser.isSet(wrong);
    behaviour.exitAfter = parser.value(exitAfter).toInt();
    behaviour.hangAfterFirst = parser.isSet(hangAfterFirst);
    behaviour.firstDelayMs = std::max(0, parser.value(firstDelay).toInt());
    behaviour.answerDelayMs = std::max(0, parser.value(answerDelay).toInt());

    QTextStream out(stdout);
    QTextStream err(stderr);
    ReferenceHost server(behaviour, out);
    ReferenceHost target(behaviour, out);
    new ServerAdaptor(&server);
    new TargetAdaptor(&target);
    QObject::connect(&target, &ReferenceHost::done, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        err << "no session bus: " << bus.lastError().message() << Qt::endl;
        return 1;
    }
    if (!bus.registerObject(ReferenceHost::ServerPath, &server) ||
        !bus.registerObject(ReferenceHost::TargetPath, &target)) {
        err << "can't register the host objects" << Qt::endl;
        return 1;
    }
    // Last, so a caller that sees the name finds the objects in place.
    if (!bus.registerService(QStringLiteral("org.vossbridge.Host1"))) {
        err << "can't own org.vossbridge.Host1: " << bus.lastError().message() << Qt::endl;
        return 1;
    }
    err << "vossbridge-host: listening as org.vossbridge.Host1" << Qt::endl;
    return QCoreApplication::exec();
}
