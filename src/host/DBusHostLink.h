// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HostLink.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QObject>
#include <memory>

class OrgVossbridgeHost1ServerInterface;
class OrgVossbridgeHost1TargetInterface;

// The host link on the D-Bus session bus. Every call waits at most
// CallTimeoutMs for its answer, and one creation of the link at most
// CallTimeoutMs in all, so a hung host can't freeze the window.
class DBusHostLink : public QObject, public HostLink {
    Q_OBJECT
public:
    static constexpr int CallTimeoutMs = 1000;
    static const QString ServiceName;
    static const QString ServerPath;
    static const QString TargetInterface;

    explicit DBusHostLink(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);
    ~DBusHostLink() override;

    void createLink() override;
    bool isLinked() const override { return target_ != nullptr; }
    bool reportValue(int code, int index, double value, const QString& text) override;
    void clear() override;

    // The D-Bus error name of the last failed call, for the log and tests.
    QString lastError() const { return lastError_; }

Q_SIGNALS:
    // The host's bus name has got an owner: a host has (re)started.
    void hostAppeared();

private:
    bool serviceAvailable(QDeadlineTimer deadline);
    bool hasTargetInterface(const QString& path, QDeadlineTimer deadline);
    // A blocking call that waits no longer than the deadline nor CallTimeoutMs.
    QDBusMessage call(const QDBusMessage& message, QDeadlineTimer deadline);

    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    std::unique_ptr<OrgVossbridgeHost1ServerInterface> server_;
    std::unique_ptr<OrgVossbridgeHost1TargetInterface> target_;
    QString lastError_;
    bool toldNoHost_ = false;
};
