// SPDX-License-Identifier: GPL-3.0-or-later
// vossbridge-meterview-shot: runs the program, composed as it is, on the
// meter simulator sweeping, feeds the meter window with the run's readings,
// and renders the window to meter-window.png in a folder once its history
// shows the sweep. Used to make the picture in docs/.
#include "MeterSimProcess.h"
#include "MeterWindow.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "SettingsStore.h"
#include "StartUpSettings.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <cstdio>

namespace {
// Settings kept in memory: the picture must not depend on the user's.
class MemorySettings : public SettingsStore {
public:
    QString read(const QString& group, const QString& key) override
    {
        return values_.value(group + u'/' + key);
    }
    void save(const QList<StoredText>& texts) override
    {
        for (const StoredText& t : texts)
            values_[t.group + u'/' + t.key] = t.text;
    }
    using SettingsStore::save;

private:
    QHash<QString, QString> values_;
};

constexpr qint16 PollPeriodMs = 50;
constexpr int SweepSeconds = 30;
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vossbridge-meterview-shot FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);

    MeterSimProcess sim({QStringLiteral("-e"), QStringLiteral("sweep on"), QStringLiteral("-e"),
                         QStringLiteral("range 1"), QStringLiteral("-e"), QStringLiteral("alarm 2"),
                         QStringLiteral("-e"), QStringLiteral("gate 40")});
    const QString device = sim.devicePath();
    if (device.isEmpty()) {
        std::fprintf(stderr, "the meter simulator did not start\n");
        return 1;
    }
    MemorySettings store;
    store.save(QStringLiteral("Ports"), QStringLiteral("Com1"), device);
    StartUpSettings::PortNumber.save(store, 1);
    StartUpSettings::PollPeriod.save(store, PollPeriodMs);
    RealLinks real(store);
    ProgramParts parts(store, real.port, real.host);

    MeterWindow window(store);
    window.setHistoryMinutes(1);
    window.resize(760, 600);
    window.show();
    QObject::connect(&parts.run, &MeterRun::readingAccepted, &window, &MeterWindow::showReading);
    if (!parts.run.start()) {
        std::fprintf(stderr, "can't open %s: %s\n", qPrintable(device),
                     qPrintable(parts.run.portError()));
        return 1;
    }
    QTest::qWait(SweepSeconds * 1000);
    // End on a steady reading in alarm, with the sweep's highs still held.
    for (const char* command : {"sweep off", "power 87.4", "swr 2.15"})
        sim.send(QString::fromLatin1(command));
    QTest::qWait(1200);
    parts.run.shutDown();
    const auto accepted = int(parts.run.counts().accepted);
    if (accepted < SweepSeconds * 1000 / PollPeriodMs / 4) {
        std::fprintf(stderr, "only %d replies from the meter simulator\n", accepted);
        return 1;
    }
    window.redrawNow();
    QApplication::processEvents();

    const QString path =
        QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("meter-window.png"));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "can't write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%d replies; wrote %s\n", accepted, qPrintable(path));
    return 0;
}
