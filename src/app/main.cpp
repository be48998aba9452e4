// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBusHostLink.h"
#include "IniSettingsStore.h"
#include "MainWindow.h"
#include "PortMap.h"
#include "PosixSerialLink.h"
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

void DescribeOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Shows a power and SWR meter's readings and reports them to a "
                       "station-control program."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(RecordOption);
}

// --help and --version answer without a window system, over ssh say, so they
// are handled before anything opens a display.
bool AsksForHelpOrVersion(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication core(argc, argv);
        SetNames();
        QCommandLineParser parser;
        DescribeOptions(parser);
        parser.process(core); // prints and exits
        return 0;
    }

    QApplication app(argc, argv);
    SetNames();
    QCommandLineParser parser;
    DescribeOptions(parser);
    parser.process(app);

    IniSettingsStore store;
    PosixSerialLink port([&store](int n) { return DeviceForPort(store, n); });
    DBusHostLink host;
    MainWindow window(store, port, host);
    ToolsController tools(window, store);
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
