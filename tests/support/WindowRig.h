// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's window over the three test doubles, composed as the
// program composes it, with its message box answered by the test.
#include "FakeHostLink.h"
#include "FakeSerialLink.h"
#include "FakeSettingsStore.h"
#include "MainWindow.h"
#include "ProgramParts.h"
#include "QtTryNarrowing.h"
#include "ToolsController.h"

#include <QTest>

struct WindowRig {
    FakeSettingsStore store;
    FakeSerialLink port;
    FakeHostLink host;
    ProgramParts parts{store, port, host};
    MeterRun& run = parts.run;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ToolsController> tools;
    QStringList messages; // "title|text"
    QList<bool> timerRunningDuringMessage;

    // `runBefore`: the store holds what a first run leaves.
    explicit WindowRig(bool runBefore = true)
    {
        if (runBefore)
            store.setRunBefore();
    }

    void create()
    {
        window = std::make_unique<MainWindow>(store, run);
        tools = std::make_unique<ToolsController>(*window, parts.links, store);
        window->showMessage = [this](const QString& text, const QString& title) {
            messages << title + u'|' + text;
            timerRunningDuringMessage << run.isPolling();
        };
    }
    // Shows the window and waits for the open of its first activation.
    void showAndActivate()
    {
        window->show();
        QTRY_VERIFY(port.calls.contains(QStringLiteral("open")));
    }
    void start()
    {
        create();
        showAndActivate();
    }

    const MainControls& c() const { return window->controls(); }
    // The user picks entry `entry` of the port list.
    void pick(int entry)
    {
        c().portList->setCurrentIndex(entry);
        Q_EMIT c().portList->activated(entry);
    }
    void set(const QString& key, const QString& text)
    {
        store.values[QStringLiteral("StartUp/") + key] = text;
    }
    QString stored(const QString& key) const
    {
        return store.values.value(QStringLiteral("StartUp/") + key);
    }
};
