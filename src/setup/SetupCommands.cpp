// SPDX-License-Identifier: GPL-3.0-or-later
#include "SetupCommands.h"

#include "DeviceListing.h"
#include "IniSettingsStore.h"
#include "OpenFailureReason.h"
#include "PortSettings.h"
#include "SerialDeviceList.h"
#include "SettingAssignment.h"
#include "SettingRules.h"
#include "SettingsFileAccess.h"
#include "SettingsListing.h"
#include "StartUpSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
const QString ListDevices = QStringLiteral("list-devices");
const QString Device = QStringLiteral("device");
const QString Port = QStringLiteral("port");
const QString ByIdDir = QStringLiteral("by-id-dir");
const QString Set = QStringLiteral("set");
const QString ShowSettings = QStringLiteral("show-settings");

constexpr int Done = 0;
constexpr int Refused = 1;
constexpr int UsageError = 2;

int Usage(const QString& problem)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << ": " << problem
                        << " (see --help)\n";
    return UsageError;
}

int Refuse(const QString& reason)
{
    QTextStream(stderr) << reason << '\n';
    return Refused;
}

// Output to a pipe or a file keeps its columns, for grep and the like.
int TerminalWidth()
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return std::numeric_limits<int>::max();
}

// True when a fresh read of the file gives back every text: QSettings says
// little about a write that failed.
bool Stored(const QString& settingsFile, const QList<StoredText>& texts)
{
    IniSettingsStore reread(settingsFile);
    return std::all_of(texts.begin(), texts.end(),
                       [&](const StoredText& t) { return reread.read(t.group, t.key) == t.text; });
}

int Save(const QString& settingsFile, IniSettingsStore& store, const QList<StoredText>& texts)
{
    store.save(texts);
    if (!Stored(settingsFile, texts))
        return Refuse(QStringLiteral("can't write %1").arg(settingsFile));
    return Done;
}

// Opens the device once, as the run will, and closes it: a device that looks
// right but won't open shows now, not later in the service's log. Non-blocking,
// so a line without carrier does not hang here.
QString OpenProblem(const QString& path, const SerialDeviceList& list)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return FailedOpenReason(path, QString::fromLocal8Bit(std::strerror(errno)), list);
    termios line{};
    const bool terminal = ::tcgetattr(fd, &line) == 0;
    ::close(fd);
    // A character device that has no line settings (/dev/null, a sound card).
    return terminal ? QString() : QStringLiteral("%1 opens, but is no serial line").arg(path);
}

int ChooseDevice(const QCommandLineParser& parser, const QString& settingsFile,
                 const SerialDeviceList& list)
{
    if (const QString problem = SettingsFileProblem(settingsFile, FileUse::Write);
        !problem.isEmpty())
        return Refuse(problem);
    IniSettingsStore store(settingsFile);
    const int runsPort = StartUpSettings::PortNumber.read(store);
    int port = runsPort;
    if (parser.isSet(Port)) {
        bool ok = false;
        port = parser.value(Port).toInt(&ok);
        if (!ok || !FindSetting(PortSettings::Device(port).path()))
            return Usage(
                QStringLiteral("--port %1: a port number from 1 to 16").arg(parser.value(Port)));
    } else if (!FindSetting(PortSettings::Device(port).path())) {
        return Usage(QStringLiteral("the run's port (StartUp/ComPort) is %1; name one from 1 to "
                                    "16 with --port")
                         .arg(port));
    }
    const SettingKey<QString> key = PortSettings::Device(port);
    const QString path = parser.value(Device).trimmed();
    const QString stored = PathToStore(path, list);
    QTextStream out(stdout);
    // The device the service has open now reads as busy; it needs no check.
    if (!path.isEmpty() && key.read(store) == stored) {
        out << key.path() << " unchanged: port " << port << " opens " << stored << '\n';
        return Done;
    }
    const PathCheck check = CheckDevicePath(path, list);
    if (check.verdict != PathCheck::Verdict::Ready)
        return Refuse(QStringLiteral("%1 not stored: %2").arg(key.path(), check.reason));
    if (const QString problem = OpenProblem(path, list); !problem.isEmpty())
        return Refuse(QStringLiteral("%1 not stored: %2").arg(key.path(), problem));
    if (const int status = Save(settingsFile, store, {key.text(stored)}); status != Done)
        return status;
    out << key.path() << " = " << stored << ": port " << port << " opens it";
    if (stored != path)
        out << " (the stable name of " << path << ')';
    out << '\n';
    if (port != runsPort)
        out << "The run opens port " << runsPort << "; to use this one: --set "
            << StartUpSettings::PortNumber.path() << '=' << port << '\n';
    return Done;
}

int SetSettings(const QStringList& arguments, const QString& settingsFile)
{
    QList<SettingAssignment> assignments;
    for (const QString& argument : arguments) {
        const std::optional<SettingAssignment> assignment = ParseAssignment(argument);
        if (!assignment)
            return Usage(
                QStringLiteral("--set \"%1\": not GROUP/KEY=VALUE, as in Mqtt/Enabled=true")
                    .arg(argument));
        assignments << *assignment;
    }
    QStringList refusals;
    for (const SettingAssignment& a : assignments)
        if (const QString refusal = AssignmentRefusal(a); !refusal.isEmpty())
            refusals << refusal;
    if (!refusals.isEmpty())
        return Refuse(refusals.join(u'\n') + QStringLiteral("\nNothing written."));
    if (const QString problem = SettingsFileProblem(settingsFile, FileUse::Write);
        !problem.isEmpty())
        return Refuse(problem);

    IniSettingsStore store(settingsFile);
    if (const QStringList combined = CombinedRefusals(assignments, store); !combined.isEmpty())
        return Refuse(combined.join(u'\n') + QStringLiteral("\nNothing written."));
    QList<StoredText> changed;
    QStringList report;
    for (const SettingAssignment& a : assignments) {
        const SettingRule& rule = *FindSetting(a.path);
        const QString text = *rule.stored(a.text);
        const QString group = a.path.section(u'/', 0, 0);
        const QString key = a.path.section(u'/', 1);
        const QString before = store.read(group, key);
        const auto shown = [&](const QString& t) {
            if (t.isEmpty())
                return QStringLiteral("\"\"");
            return IsSecretSetting(a.path) ? QStringLiteral("(hidden)") : t;
        };
        if (before == text && !before.isNull()) {
            report << QStringLiteral("%1 unchanged: %2").arg(a.path, shown(text));
            continue;
        }
        changed.removeIf([&](const StoredText& t) { return t.group == group && t.key == key; });
        changed << StoredText{group, key, text};
        report << QStringLiteral("%1 = %2 (was %3)")
                      .arg(a.path, shown(text),
                           before.isNull() ? QStringLiteral("not set") : shown(before));
    }
    if (!changed.isEmpty())
        if (const int status = Save(settingsFile, store, changed); status != Done)
            return status;
    QTextStream(stdout) << report.join(u'\n') << '\n';
    return Done;
}

int ShowSettingsOf(const QString& settingsFile)
{
    if (const QString problem = SettingsFileProblem(settingsFile, FileUse::Read);
        !problem.isEmpty())
        return Refuse(problem);
    QTextStream out(stdout);
    out << (QFile::exists(settingsFile)
                ? QStringLiteral("Settings in %1:\n")
                : QStringLiteral("%1 does not exist yet: every key has its default.\n"))
               .arg(settingsFile);
    IniSettingsStore store(settingsFile);
    out << SettingsListing(store);
    return Done;
}
} // namespace

void AddSetupOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {ListDevices, QStringLiteral("List the serial devices present and whether you may open "
                                     "them, then exit.")},
        {Device,
         QStringLiteral("Store <path> as the device of the run's port (or of --port's), by its "
                        "stable name where it has one, after opening it once; then exit."),
         QStringLiteral("path")},
        {Port, QStringLiteral("The port number --device stores for (1 to 16)."),
         QStringLiteral("n")},
        {ByIdDir,
         QStringLiteral("The folder of stable device names (default %1).").arg(DefaultByIdDir),
         QStringLiteral("dir")},
        {Set,
         QStringLiteral("Store a setting, checked by its rule; more may follow as arguments. "
                        "Nothing is written unless all are allowed. Then exit."),
         QStringLiteral("group/key=value")},
        {ShowSettings, QStringLiteral("Show every setting with its value, then exit.")},
    });
    parser.addPositionalArgument(QStringLiteral("settings"),
                                 QStringLiteral("More settings for --set."),
                                 QStringLiteral("[group/key=value...]"));
}

std::optional<int> RunSetupCommand(const QCommandLineParser& parser, const QString& settingsFile)
{
    QStringList commands;
    for (const QString& name : {ListDevices, Device, Set, ShowSettings})
        if (parser.isSet(name))
            commands << QStringLiteral("--") + name;
    const QStringList extra = parser.positionalArguments();
    if (commands.size() > 1)
        return Usage(QStringLiteral("one set-up command at a time, not %1")
                         .arg(commands.join(QStringLiteral(" and "))));
    if (!extra.isEmpty() && !parser.isSet(Set))
        return Usage(QStringLiteral("unexpected argument \"%1\"").arg(extra.first()));
    if (parser.isSet(Port) && !parser.isSet(Device))
        return Usage(QStringLiteral("--port goes with --device"));
    if (parser.isSet(ByIdDir) && !parser.isSet(Device) && !parser.isSet(ListDevices))
        return Usage(QStringLiteral("--by-id-dir goes with --list-devices or --device"));
    if (commands.isEmpty())
        return std::nullopt;

    const SerialDeviceList devices(parser.isSet(ByIdDir) ? parser.value(ByIdDir) : DefaultByIdDir);
    if (parser.isSet(ListDevices)) {
        QTextStream(stdout) << DeviceListing(devices, TerminalWidth());
        return Done;
    }
    if (parser.isSet(Device))
        return ChooseDevice(parser, settingsFile, devices);
    if (parser.isSet(Set))
        return SetSettings(parser.values(Set) + extra, settingsFile);
    return ShowSettingsOf(settingsFile);
}
