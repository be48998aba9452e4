// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBusHostLink.h"

#include "HostLog.h"
#include "hostinterface.h"

#include <QDBusPendingCallWatcher>
#include <QXmlStreamReader>
#include <algorithm>
#include <dbus/dbus.h>
#include <iterator>

const QString DBusHostLink::ServiceName = QStringLiteral("org.vossbridge.Host1");
const QString DBusHostLink::ServerPath = QStringLiteral("/org/vossbridge/Host1");
const QString DBusHostLink::TargetInterface = QStringLiteral("org.vossbridge.Host1.Target");

DBusHostLink::DBusHostLink(const QDBusConnection& bus, QObject* parent)
    : HostLink(parent), bus_(bus),
      watcher_(ServiceName, bus, QDBusServiceWatcher::WatchForRegistration)
{
    connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this, &HostLink::hostAppeared);
    clock_.start();
    // Answers are taken with the next report; this finds a hung host when
    // no report follows soon, at a slow poll or after the last one.
    answerCheck_.setInterval(CallTimeoutMs);
    connect(&answerCheck_, &QTimer::timeout, this, &DBusHostLink::collectAnswers);
    giveUp_.setSingleShot(true);
    giveUp_.setInterval(CallTimeoutMs);
    connect(&giveUp_, &QTimer::timeout, this, &DBusHostLink::giveUp);
}

DBusHostLink::~DBusHostLink()
{
    // The link ends with them unanswered; those who count the reports still
    // hear of each.
    abandonInFlight();
    if (reports_) {
        dbus_connection_close(reports_);
        dbus_connection_unref(reports_);
    }
}

namespace {
// A call's own timeout: long past the attempt's deadline, so it never races
// giveUp_. It only frees a call whose answer never comes.
constexpr int CallReapMs = 30 * DBusHostLink::CallTimeoutMs;

// Whether an introspection answer shows the target interface among the
// object's own, the children of the outermost node.
bool HasTargetInterface(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    QXmlStreamReader xml(reply.arguments().value(0).toString());
    int depth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth == 2 && xml.name() == u"interface" &&
                xml.attributes().value(QStringLiteral("name")) == DBusHostLink::TargetInterface)
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
} // namespace

void DBusHostLink::ask(const QDBusMessage& message, void (DBusHostLink::*next)(const QDBusMessage&))
{
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, CallReapMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, next, watcher, attempt = attempt_] {
                watcher->deleteLater();
                if (attempt == attempt_ && linking_)
                    (this->*next)(watcher->reply());
            });
}

void DBusHostLink::createLink()
{
    // Activation may ask twice in a row; the attempt under way serves both.
    if (linking_)
        return;
    linking_ = true;
    ++attempt_;
    // One wait for the whole creation: a host that answers each step just
    // before its timeout must not keep the link pending for the sum of them.
    giveUp_.start();
    QDBusMessage owner = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    owner.setArguments({ServiceName});
    ask(owner, &DBusHostLink::tookOwnerAnswer);
}

void DBusHostLink::tookOwnerAnswer(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool()) {
        askForTarget();
        return;
    }
    // A host that D-Bus can start on the first call counts as there.
    ask(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames")),
        &DBusHostLink::tookActivatableNames);
}

void DBusHostLink::tookActivatableNames(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage &&
        reply.arguments().value(0).toStringList().contains(ServiceName)) {
        askForTarget();
        return;
    }
    // Said once, not at every activation that finds the bus unchanged.
    if (!toldNoHost_)
        qCInfo(lcHost).noquote() << "no host on the session bus:" << ServiceName;
    toldNoHost_ = true;
    endAttempt();
}

void DBusHostLink::askForTarget()
{
    ask(QDBusMessage::createMethodCall(ServiceName, ServerPath,
                                       OrgVossbridgeHost1ServerInterface::staticInterfaceName(),
                                       QStringLiteral("GetTarget")),
        &DBusHostLink::tookTarget);
}

void DBusHostLink::tookTarget(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage ||
        !reply.arguments().value(0).canConvert<QDBusObjectPath>()) {
        lastError_ = reply.errorName();
        qCWarning(lcHost).noquote() << "GetTarget failed:" << reply.errorMessage();
        endAttempt();
        return;
    }
    candidatePath_ = qvariant_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    ask(QDBusMessage::createMethodCall(ServiceName, candidatePath_,
                                       QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                       QStringLiteral("Introspect")),
        &DBusHostLink::tookIntrospection);
}

void DBusHostLink::tookIntrospection(const QDBusMessage& reply)
{
    const QString path = candidatePath_;
    if (!HasTargetInterface(reply)) {
        lastError_ = QStringLiteral("no target interface at ") + path;
        qCWarning(lcHost).noquote()
            << "the host's target" << path << "does not offer" << TargetInterface;
        endAttempt();
        return;
    }
    if (connectReports()) {
        // Activation may link twice in a row; the log tells only of a new target.
        const bool sameTarget = targetPath_ == path;
        targetPath_ = path;
        targetPathBytes_ = path.toUtf8();
        answerCheck_.start();
        if (!sameTarget)
            qCInfo(lcHost).noquote() << "linked to the host's target" << path;
        toldNoHost_ = false;
    }
    endAttempt();
}

void DBusHostLink::endAttempt()
{
    linking_ = false;
    ++attempt_;
    giveUp_.stop();
    Q_EMIT linkTried();
}

void DBusHostLink::giveUp()
{
    if (!linking_)
        return;
    lastError_ = QDBusError::errorString(QDBusError::Timeout);
    qCWarning(lcHost).noquote() << "the host did not answer within" << CallTimeoutMs << "ms";
    endAttempt();
}

bool DBusHostLink::connectReports()
{
    if (reports_ && dbus_connection_get_is_connected(reports_))
        return true;
    if (reports_) {
        dbus_connection_unref(reports_);
        reports_ = nullptr;
    }
    // A connection of the program's own, used from this thread only: its
    // answers wait in the socket until a report goes out, and nothing hands
    // them to another thread and back.
    DBusError error;
    dbus_error_init(&error);
    reports_ = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!reports_) {
        lastError_ = QString::fromUtf8(error.name);
        qCWarning(lcHost).noquote() << "no connection for the reports:" << error.message;
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(reports_, FALSE);
    // Sent on the connection that is gone: their answers can't come.
    abandonInFlight();
    return true;
}

void DBusHostLink::fail(const QString& errorName, const QString& message)
{
    lastError_ = errorName;
    qCWarning(lcHost).noquote() << "ReportValue failed:" << message;
    clear();
    Q_EMIT failed(message);
}

void DBusHostLink::settle(ReportOutcome outcome, qsizetype reports)
{
    for (qsizetype i = 0; i < reports; ++i)
        Q_EMIT reportSettled(outcome);
}

void DBusHostLink::abandonInFlight()
{
    // Emptied before anyone hears of it, so a listener that reports again
    // finds the queue as it is now.
    const qsizetype abandoned = std::ssize(inFlight_);
    inFlight_.clear();
    settle(ReportOutcome::Unanswered, abandoned);
}

void DBusHostLink::collectAnswers()
{
    if (!reports_ || inFlight_.empty())
        return;
    // One look at the socket, without waiting.
    if (!dbus_connection_read_write(reports_, 0)) {
        fail(QStringLiteral(DBUS_ERROR_DISCONNECTED),
             QStringLiteral("the session bus closed the connection"));
        return;
    }
    while (DBusMessage* message = dbus_connection_pop_message(reports_)) {
        const int type = dbus_message_get_type(message);
        const quint32 answered = dbus_message_get_reply_serial(message);
        const bool isError = type == DBUS_MESSAGE_TYPE_ERROR;
        QString errorName;
        QString errorText;
        if (isError) {
            errorName = QString::fromUtf8(dbus_message_get_error_name(message));
            const char* text = nullptr;
            dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
            errorText = text ? QString::fromUtf8(text) : errorName;
        }
        dbus_message_unref(message);
        if (type != DBUS_MESSAGE_TYPE_METHOD_RETURN && !isError)
            continue;
        // Answers come in the order the calls went out, so what is older
        // than an answered call is answered too, or lost with the host.
        const auto it = std::find_if(inFlight_.begin(), inFlight_.end(),
                                     [answered](const Call& c) { return c.serial == answered; });
        if (it == inFlight_.end())
            continue;
        const auto skipped = it - inFlight_.begin();
        inFlight_.erase(inFlight_.begin(), it + 1);
        settle(ReportOutcome::Unanswered, skipped);
        if (isError) {
            // The bus answers for a host that left without answering.
            settle(errorName == QLatin1String(DBUS_ERROR_NO_REPLY) ? ReportOutcome::Unanswered
                                                                   : ReportOutcome::Refused);
            fail(errorName, errorText);
            return;
        }
        settle(ReportOutcome::Answered);
    }
    if (!inFlight_.empty() && clock_.elapsed() - inFlight_.front().sentMs >= CallTimeoutMs)
        fail(QStringLiteral(DBUS_ERROR_NO_REPLY),
             QStringLiteral("no answer within %1 ms").arg(CallTimeoutMs));
}

void DBusHostLink::reportValue(int code, int index, double value, const QString& text)
{
    collectAnswers();
    if (!isLinked() || !reports_) {
        settle(ReportOutcome::NotSent);
        return;
    }
    if (inFlight() >= MaxInFlight) {
        if (!toldDropping_)
            qCWarning(lcHost).noquote() << "the host is slow to answer: reports dropped";
        toldDropping_ = true;
        settle(ReportOutcome::NotSent);
        return;
    }
    // The arguments go in before the header's fields: libdbus rewrites the
    // header's signature with each argument, and a header that holds the
    // path, interface, member and destination already makes that about half
    // of what a report costs.
    DBusMessage* message = dbus_message_new(DBUS_MESSAGE_TYPE_METHOD_CALL);
    if (!message) {
        settle(ReportOutcome::NotSent);
        return;
    }
    const dbus_int32_t c = code;
    const dbus_int32_t i = index;
    const QByteArray utf8 = text.toUtf8();
    const char* t = utf8.constData();
    dbus_uint32_t serial = 0;
    const bool sent = dbus_message_append_args(message, DBUS_TYPE_INT32, &c, DBUS_TYPE_INT32, &i,
                                               DBUS_TYPE_DOUBLE, &value, DBUS_TYPE_STRING, &t,
                                               DBUS_TYPE_INVALID) &&
                      dbus_message_set_path(message, targetPathBytes_.constData()) &&
                      dbus_message_set_interface(message, "org.vossbridge.Host1.Target") &&
                      dbus_message_set_member(message, "ReportValue") &&
                      dbus_message_set_destination(message, "org.vossbridge.Host1") &&
                      dbus_connection_send(reports_, message, &serial);
    dbus_message_unref(message);
    if (sent)
        inFlight_.push_back({serial, clock_.elapsed()});
    else
        settle(ReportOutcome::NotSent);
}

void DBusHostLink::clear()
{
    answerCheck_.stop();
    targetPath_.clear();
    targetPathBytes_.clear();
    // An attempt under way would link to the host that just failed.
    if (linking_) {
        linking_ = false;
        ++attempt_;
        giveUp_.stop();
    }
    abandonInFlight();
}
