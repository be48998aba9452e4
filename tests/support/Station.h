// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The whole program in one test process: the window with the real settings
// store, the real serial link on the meter simulator's line and the real
// host link on the session bus.
#include "IniSettingsStore.h"
#include "MainWindow.h"
#include "MeterSimProcess.h"
#include "ProgramParts.h"

struct Station {
    MeterSimProcess sim;
    IniSettingsStore store;
    ProgramParts parts{store};
    QtSerialLink& port = parts.port;
    DBusHostLink& host = parts.host;
    std::unique_ptr<MainWindow> window;
    QList<TickOutcome> outcomes;

    explicit Station(int pollrate, const QStringList& simArguments = {}) : sim(simArguments)
    {
        store.save(QStringLiteral("Ports"), QStringLiteral("Com5"), sim.devicePath());
        // As a first run leaves them, with this poll period.
        const QStringList keys{"Position-Left=600", "Position-Top=450", "PwrMode=0",
                               "Height=3495",       "mnuSetup=True",    "mnuSmall=False",
                               "mnuVector=False",   "ComPort=5",        "Range=3"};
        for (const QString& kv : keys)
            store.save(QStringLiteral("StartUp"), kv.section(u'=', 0, 0), kv.section(u'=', 1));
        store.save(QStringLiteral("StartUp"), QStringLiteral("Pollrate"),
                   QString::number(pollrate));
        window = std::make_unique<MainWindow>(store, parts.run);
        QObject::connect(window.get(), &MainWindow::tickFinished, window.get(),
                         [this](TickOutcome o) { outcomes << o; });
        window->show();
    }

    // Waits for the first accepted reply; the ticks after it are steady state.
    bool reachSteadyState()
    {
        const bool reached =
            QTest::qWaitFor([this] { return outcomes.contains(TickOutcome::Accepted); }, 10000);
        outcomes.clear();
        return reached;
    }

    // Waits for `count` more ticks; true when they came and nearly all
    // accepted a reply (on a loaded machine a tick may catch a reply half sent).
    bool pollsOn(int count)
    {
        outcomes.clear();
        return QTest::qWaitFor([&] { return outcomes.size() >= count; }, count * 1000 + 10000) &&
               outcomes.count(TickOutcome::Accepted) * 10 >= outcomes.size() * 9;
    }
};
