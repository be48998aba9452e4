// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An X server of the test's own (Xvfb on a display it picks), optionally
// with a window manager, for what only a real window system shows.
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <memory>

class VirtualDisplay {
public:
    // Empty when Xvfb is not installed.
    explicit VirtualDisplay(const QString& windowManager = {})
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        // -displayfd 1 writes the display number the server chose.
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server_.waitForStarted() ||
            !QTest::qWaitFor([this] { return server_.canReadLine(); }, 10000))
            return;
        display_ = u':' + QString::fromLatin1(server_.readLine().trimmed());
        if (!windowManager.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("DISPLAY"), display_);
            manager_.setProcessEnvironment(env);
            manager_.start(windowManager, {});
            manager_.waitForStarted();
            // The manager takes the screen before any window maps.
            QTest::qWait(500);
        }
    }
    ~VirtualDisplay()
    {
        for (QProcess* p : {&manager_, &server_}) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }
    QString display() const { return display_; }
    bool hasWindowManager() const { return manager_.state() == QProcess::Running; }

private:
    QProcess server_;
    QProcess manager_;
    QString display_;
};
