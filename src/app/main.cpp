// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppLog.h"
#include "HeadlessRun.h"
#include "IniSettingsStore.h"
#include "MainWindow.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "TerminationSignals.h"
#include "ToolsController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstring>

namespace {
void SetNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vossbridge"));
    QCoreApplication::setApplicationName(QStringLiteral("Vossbridge"));
    QCoreApplication::setApplicationVersion(QStringLiteral(
        VOSSBRIDGE_VERSION "\n"
                           "Licence GPL-3.0-or-later: GNU GPL version 3 or later "
                           "<https://gnu.org/licenses/gpl.html>.\n"
                           "This is free software: you are free to change and redistribute it.\n"
                           "There is no warranty."));
}

const QCommandLineOption RecordOption(QStringLiteral("record"),
                                      QStringLiteral("Append each reading to <file> (CSV)."),
                                      QStringLiteral("file"));

const QCommandLineOption HeadlessOption(
    QStringLiteral("headless"),
    QStringLiteral("Run without a window (as a service): poll, report and serve the links from "
                   "the same settings; log to standard error."));

void DescribeOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Shows a power and SWR meter's readings and reports them to a "
                       "station-control program."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(RecordOption);
    parser.addOption(HeadlessOption);
}

// --help, --version and --headless run without a window system (over ssh,
// or as a service), so they are found before anything opens a display.
bool AsksFor(int argc, char* argv[], std::initializer_list<const char*> options)
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : options) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

int RunHeadless(QCoreApplication& core, const QCommandLineParser& parser)
{
    IniSettingsStore store;
    RealLinks real(store);
    ProgramParts parts(store, real.port, real.host);
    HeadlessRun headless(parts);
    if (parser.isSet(RecordOption) && !parts.links.startRecording(parser.value(RecordOption)))
        qCWarning(lcApp).noquote() << parts.links.recorder().statusText();
    QObject::connect(&headless, &HeadlessRun::finished, &core, [] { QCoreApplication::exit(0); });
    // SIGINT and SIGTERM store what shutdown stores.
    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::received, &headless, &HeadlessRun::shutDown);
    headless.start();
    return QCoreApplication::exec();
}
} // namespace

int main(int argc, char* argv[])
{
    if (AsksFor(argc, argv,
                {"-h", "--help", "-?", "--help-all", "-v", "--version", "--headless"})) {
        QCoreApplication core(argc, argv);
        SetNames();
        QCommandLineParser parser;
        DescribeOptions(parser);
        parser.process(core); // prints and exits for --help and --version
        return RunHeadless(core, parser);
    }

    QApplication app(argc, argv);
    SetNames();
    QCommandLineParser parser;
    DescribeOptions(parser);
    parser.process(app);

    IniSettingsStore store;
    RealLinks real(store);
    ProgramParts parts(store, real.port, real.host);
    MainWindow window(store, parts.run);
    ToolsController tools(window, parts.links, store);
    if (parser.isSet(RecordOption))
        tools.startRecording(parser.value(RecordOption));
    // Closing the window ends the program at once, whatever else is open.
    QObject::connect(&window, &MainWindow::unloaded, &app, [] { QCoreApplication::exit(0); });
    // SIGINT and SIGTERM close the window the normal way, so the settings are stored.
    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::received, &window, &QWidget::close);
    window.show();
    return QApplication::exec();
}
