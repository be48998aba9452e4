// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The whole program in one test process: the window with the real settings
// store, the real serial link on the meter simulator's line and the real
// host link on the session bus.
#include "IniSettingsStore.h"
#include "MainWindow.h"
#include "MeterSimProcess.h"
#include "ProgramParts.h"
#include "RealLinks.h"
#include "StartUpSettings.h"
#include "ToolsController.h"

#include <QEventLoop>

struct Station {
    MeterSimProcess sim;
    IniSettingsStore store;
    RealLinks real{store};
    ProgramParts parts{store, real.port, real.host};
    PosixSerialLink& port = real.port;
    DBusHostLink& host = real.host;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ToolsController> tools;
    QList<TickOutcome> outcomes;

    explicit Station(int pollPeriod, const QStringList& simArguments = {}) : sim(simArguments)
    {
        store.save(QStringLiteral("Ports"), QStringLiteral("Com5"), sim.devicePath());
        // As a first run leaves them, with this poll period.
        store.save(StartUpSettings::FirstRunTexts(600, 450));
        StartUpSettings::PollPeriod.save(store, qint16(pollPeriod));
        window = std::make_unique<MainWindow>(store, parts.run);
        tools = std::make_unique<ToolsController>(*window, parts.links, store);
        QObject::connect(&parts.run, &MeterRun::tickFinished, &parts.run,
                         [this](TickOutcome o) { outcomes << o; });
        window->show();
    }

    // Runs the event loop the way the program's own does, until `done` holds
    // after a tick or `ms` have passed. QTest::qWaitFor would sleep 10 ms
    // between its rounds, and a tick held back that long may catch a reply
    // half sent: the rig, not the program, would lose it.
    template <typename Done> bool waitForTicks(Done done, int ms)
    {
        if (done())
            return true;
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        const auto check = QObject::connect(&parts.run, &MeterRun::tickFinished, &loop, [&] {
            if (done())
                loop.quit();
        });
        timeout.start(ms);
        loop.exec();
        QObject::disconnect(check);
        return done();
    }

    // Waits for the first accepted reply; the ticks after it are steady state.
    bool reachSteadyState()
    {
        const bool reached =
            waitForTicks([this] { return outcomes.contains(TickOutcome::Accepted); }, 10000);
        outcomes.clear();
        return reached;
    }

    // What a person watching would notice in `ticks`: once the first reply
    // was accepted, readings keep coming (at least every other tick, and
    // never more than MissedInARow ticks in a row without one), and the port
    // never closes. The ticks before that first reply (a fresh open's first
    // read holds nothing yet) don't count. Two CPU hogs beside a test run at
    // nice 15 starve the simulator and the test's own process for tens of
    // milliseconds at a time, and every late reply costs two ticks (the one
    // that finds nothing, the one that finds two replies): that much the
    // rig can't spare the program, so it is allowed.
    static constexpr int MissedInARow = 6;
    static bool PolledSteadily(const QList<TickOutcome>& ticks)
    {
        const qsizetype first = ticks.indexOf(TickOutcome::Accepted);
        const QList<TickOutcome> steady = ticks.mid(first);
        if (first < 0 || steady.contains(TickOutcome::PortClosed))
            return false;
        int missed = 0;
        for (TickOutcome o : steady) {
            missed = o == TickOutcome::Accepted ? 0 : missed + 1;
            if (missed > MissedInARow)
                return false;
        }
        return steady.count(TickOutcome::Accepted) * 2 >= steady.size();
    }

    // Waits for `count` more ticks; true when they came and polled steadily.
    bool pollsOn(int count)
    {
        outcomes.clear();
        if (!waitForTicks([&] { return outcomes.size() >= count; }, count * 1000 + 10000)) {
            qWarning("%lld of %d ticks came", qlonglong(outcomes.size()), count);
            return false;
        }
        if (PolledSteadily(outcomes))
            return true;
        QString seen;
        for (TickOutcome o : std::as_const(outcomes))
            seen += o == TickOutcome::Accepted ? u'A' : o == TickOutcome::Rejected ? u'r' : u'-';
        qWarning("ticks: %s", qPrintable(seen));
        return false;
    }
};
