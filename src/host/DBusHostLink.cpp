// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBusHostLink.h"

#include "HostLog.h"
#include "hostinterface.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QXmlStreamReader>
#include <algorithm>

const QString DBusHostLink::ServiceName = QStringLiteral("org.vossbridge.Host1");
const QString DBusHostLink::ServerPath = QStringLiteral("/org/vossbridge/Host1");
const QString DBusHostLink::TargetInterface = QStringLiteral("org.vossbridge.Host1.Target");

DBusHostLink::DBusHostLink(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus),
      watcher_(ServiceName, bus, QDBusServiceWatcher::WatchForRegistration)
{
    connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this, &DBusHostLink::hostAppeared);
}

DBusHostLink::~DBusHostLink() = default;

QDBusMessage DBusHostLink::call(const QDBusMessage& message, QDeadlineTimer deadline)
{
    const qint64 left = deadline.remainingTime();
    if (left == 0)
        return QDBusMessage::createError(QDBusError::Timeout,
                                         QStringLiteral("no time left to link to the host"));
    return bus_.call(message, QDBus::Block,
                     static_cast<int>(std::min<qint64>(left, CallTimeoutMs)));
}

bool DBusHostLink::serviceAvailable(QDeadlineTimer deadline)
{
    const auto busCall = [this, deadline](const QString& method, const QVariantList& args) {
        QDBusMessage m = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), method);
        m.setArguments(args);
        return call(m, deadline);
    };
    const QDBusMessage owner = busCall(QStringLiteral("NameHasOwner"), {ServiceName});
    if (owner.type() == QDBusMessage::ReplyMessage && owner.arguments().value(0).toBool())
        return true;
    // A host that D-Bus can start on the first call counts as there.
    const QDBusMessage names = busCall(QStringLiteral("ListActivatableNames"), {});
    return names.type() == QDBusMessage::ReplyMessage &&
           names.arguments().value(0).toStringList().contains(ServiceName);
}

bool DBusHostLink::hasTargetInterface(const QString& path, QDeadlineTimer deadline)
{
    const QDBusMessage reply =
        call(QDBusMessage::createMethodCall(ServiceName, path,
                                            QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                            QStringLiteral("Introspect")),
             deadline);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    // The object's own interfaces are the children of the outermost node.
    QXmlStreamReader xml(reply.arguments().value(0).toString());
    int depth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth == 2 && xml.name() == u"interface" &&
                xml.attributes().value(QStringLiteral("name")) == TargetInterface)
                return true;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

void DBusHostLink::createLink()
{
    // One wait for the whole creation: a host that answers each step just
    // before its timeout must not hold the window for the sum of them.
    const QDeadlineTimer deadline(CallTimeoutMs);
    if (serviceAvailable(deadline)) {
        server_ =
            std::make_unique<OrgVossbridgeHost1ServerInterface>(ServiceName, ServerPath, bus_);
    } else {
        // Said once, not at every activation that finds the bus unchanged.
        if (!toldNoHost_)
            qCInfo(lcHost).noquote() << "no host on the session bus:" << ServiceName;
        toldNoHost_ = true;
    }
    if (!server_)
        return;

    const qint64 left = deadline.remainingTime();
    if (left == 0) {
        lastError_ = QDBusError::errorString(QDBusError::Timeout);
        qCWarning(lcHost).noquote() << "no time left to ask the host for its target";
        return;
    }
    server_->setTimeout(static_cast<int>(left));
    QDBusPendingReply<QDBusObjectPath> target = server_->GetTarget();
    target.waitForFinished();
    if (target.isError()) {
        lastError_ = target.error().name();
        qCWarning(lcHost).noquote() << "GetTarget failed:" << target.error().message();
        return;
    }
    const QString path = target.value().path();
    if (!hasTargetInterface(path, deadline)) {
        lastError_ = QStringLiteral("no target interface at ") + path;
        qCWarning(lcHost).noquote()
            << "the host's target" << path << "does not offer" << TargetInterface;
        return;
    }
    // Activation may link twice in a row; the log tells only of a new target.
    const bool sameTarget = target_ && target_->path() == path;
    target_ = std::make_unique<OrgVossbridgeHost1TargetInterface>(ServiceName, path, bus_);
    target_->setTimeout(CallTimeoutMs);
    if (!sameTarget)
        qCInfo(lcHost).noquote() << "linked to the host's target" << path;
    toldNoHost_ = false;
}

bool DBusHostLink::reportValue(int code, int index, double value, const QString& text)
{
    if (!target_)
        return false;
    QDBusPendingReply<> reply = target_->ReportValue(code, index, value, text);
    reply.waitForFinished();
    if (reply.isError()) {
        lastError_ = reply.error().name();
        qCWarning(lcHost).noquote() << "ReportValue failed:" << reply.error().message();
        return false;
    }
    return true;
}

void DBusHostLink::clear()
{
    target_.reset();
    server_.reset();
}
