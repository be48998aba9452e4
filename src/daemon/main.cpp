// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppLog.h"
#include "HeadlessRun.h"
#include "IniSettingsStore.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "ServiceNotifier.h"
#include "SetupCommands.h"
#include "TerminationSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <optional>

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
                       "programs, without a window; logs to standard error. SIGHUP (systemctl "
                       "reload) reads the settings file again; under systemd it tells when it "
                       "is ready and feeds the watchdog from the poll tick."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("The settings file (default: the service's, %1).")
            .arg(ServiceSettingsFile()),
        QStringLiteral("file"), ServiceSettingsFile());
    const QCommandLineOption recordOption(QStringLiteral("record"),
                                          QStringLiteral("Append each reading to <file> (CSV)."),
                                          QStringLiteral("file"));
    parser.addOption(settingsOption);
    parser.addOption(recordOption);
    AddSetupOptions(parser);
    parser.process(core);
    if (const auto status = RunSetupCommand(parser, parser.value(settingsOption)))
        return *status;

    IniSettingsStore store(parser.value(settingsOption));
    RealLinks real(store);
    ProgramParts parts(store, real.port, real.host);
    HeadlessRun headless(parts);
    if (parser.isSet(recordOption) && !parts.links.startRecording(parser.value(recordOption)))
        qCWarning(lcApp).noquote() << parts.links.recorder().statusText();
    QObject::connect(&headless, &HeadlessRun::finished, &core, [] { QCoreApplication::exit(0); });
    std::optional<ServiceNotifier> notifier;
    if (ServiceNotifier::isWanted())
        notifier.emplace(headless, parts.run);
    // SIGINT and SIGTERM store what shutdown stores; SIGHUP (systemctl
    // reload) reads the settings file again.
    TerminationSignals signals;
    signals.catchHangup();
    QObject::connect(&signals, &TerminationSignals::received, &headless, [&] {
        if (notifier)
            notifier->stopping();
        headless.shutDown();
    });
    QObject::connect(&signals, &TerminationSignals::hangup, &headless, [&] {
        if (notifier)
            notifier->reloading();
        headless.applySettings(store.reload());
        if (notifier)
            notifier->reloaded();
    });
    headless.start();
    return QCoreApplication::exec();
}
