// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniSettingsStore.h"
#include "MainWindow.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "TerminationSignals.h"
#include "ToolsController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

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
    QStringLiteral("Run without a window (as a service): runs vossbridged, which polls, reports "
                   "and serves the links from the same settings; logs to standard error."));

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

// The run without a window is vossbridged's: beside this program (the build
// tree), in the bin folder of an installed /usr/libexec/vossbridge, or on PATH.
QString FindServiceProgram()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/vossbridged"), dir + QStringLiteral("/../../bin/vossbridged")}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).absoluteFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("vossbridged"));
}

// Becomes vossbridged on this user's settings; returns only when it can't.
int RunHeadless(const QCommandLineParser& parser)
{
    const QString program = FindServiceProgram();
    if (program.isEmpty()) {
        std::fprintf(stderr, "vossbridge: --headless runs vossbridged, which is neither beside "
                             "this program nor on PATH; install it\n");
        return 127;
    }
    QByteArrayList arguments{QFile::encodeName(program), "--settings",
                             QFile::encodeName(IniSettingsStore().fileName())};
    if (parser.isSet(RecordOption))
        arguments << "--record" << QFile::encodeName(parser.value(RecordOption));
    std::vector<char*> argv;
    for (QByteArray& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::fprintf(stderr, "vossbridge: can't run %s: %s\n", argv[0], std::strerror(errno));
    return 126;
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
        return RunHeadless(parser);
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
