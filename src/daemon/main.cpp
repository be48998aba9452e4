// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppLog.h"
#include "HeadlessRun.h"
#include "IniSettingsStore.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "TerminationSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {
// The system service's settings, in its state directory; systemd names the
// directory in STATE_DIRECTORY.
QString ServiceSettingsFile()
{
    const QString state = qEnvironmentVariable("STATE_DIRECTORY");
    return (state.isEmpty() ? QStringLiteral("/var/lib/vossbridged") : state.section(u':', 0, 0)) +
           QStringLiteral("/Vossbridge.ini");
}
} // namespace

int main(int argc, char* argv[])
{
    // Nothing here needs GLib's main loop, and Qt's own wakes for the tick
    // with less work and fewer system calls.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication core(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vossbridge"));
    QCoreApplication::setApplicationName(QStringLiteral("vossbridged"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOSSBRIDGE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Polls a power and SWR meter and serves its readings to the station's "
                       "programs, without a window; logs to standard error."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("The settings file (default: the service's, %1).").arg(ServiceSettingsFile()),
        QStringLiteral("file"), ServiceSettingsFile());
    const QCommandLineOption recordOption(
        QStringLiteral("record"), QStringLiteral("Append each reading to <file> (CSV)."),
        QStringLiteral("file"));
    parser.addOption(settingsOption);
    parser.addOption(recordOption);
    parser.process(core);

    IniSettingsStore store(parser.value(settingsOption));
    RealLinks real(store);
    ProgramParts parts(store, real.port, real.host);
    HeadlessRun headless(parts);
    if (parser.isSet(recordOption) && !parts.links.startRecording(parser.value(recordOption)))
        qCWarning(lcApp).noquote() << parts.links.recorder().statusText();
    QObject::connect(&headless, &HeadlessRun::finished, &core, [] { QCoreApplication::exit(0); });
    // SIGINT and SIGTERM store what shutdown stores.
    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::received, &headless, &HeadlessRun::shutDown);
    headless.start();
    return QCoreApplication::exec();
}
