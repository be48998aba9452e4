// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebLink.h"

#include "ListenAddress.h"
#include "Loopback.h"
#include "MeterReading.h"
#include "MeterWindowSettings.h"
#include "PageAddress.h"
#include "ReadingTexts.h"
#include "SettingsStore.h"
#include "WebLog.h"
#include "WebSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>

WebLink::WebLink(QObject* parent) : QObject(parent)
{
    clock_.start();
    listenRetry_.setSingleShot(true);
    connect(&listenRetry_, &QTimer::timeout, this, &WebLink::listenNow);
    rateTimer_.setSingleShot(true);
    connect(&rateTimer_, &QTimer::timeout, this, &WebLink::sendState);
    server_.setStateProvider([this] { return stateJson(); });
    server_.setMetricsProvider([this] { return metricsText(); });
    connect(&server_, &WebServer::commandRequested, this, [this](const QByteArray& name) {
        if (name == "alarm")
            Q_EMIT stepAlarmRequested();
        else if (name == "peak")
            Q_EMIT togglePeakRequested();
    });
    connect(&server_, &WebServer::webSocketJoined, this, [this](QWebSocket* socket) {
        sendHistory(socket);
        socket->sendTextMessage(QString::fromUtf8(stateJson()));
    });
}

void WebLink::applySettings(SettingsStore& store)
{
    using namespace WebSettings;
    // The hold needs no new server.
    const int hold = MeterWindowSettings::PeakHoldMs.read(store);
    powerHold_.setHoldMs(hold);
    swrHold_.setHoldMs(hold);

    Settings settings;
    settings.enabled = Enabled.read(store);
    settings.commands = Commands.read(store);
    settings.listen = Listen.read(store);
    settings.names = Names.read(store);
    const HostPort e = *ParseListen(settings.listen);
    if (settings.enabled && !IsLoopback(ListenAddress(e.host)))
        settings.token = EnsureToken(store);
    // A page that could not listen tries again now; one that serves keeps its browsers.
    if (applied_ && settings == running_ && (!settings.enabled || server_.isListening()))
        return;
    applied_ = true;
    running_ = settings;

    server_.close();
    listenRetry_.stop();
    listenPause_.reset();
    problem_.clear();
    enabled_ = settings.enabled;
    commands_ = settings.commands;
    listenText_ = settings.listen;
    if (!enabled_) {
        Q_EMIT statusChanged();
        return;
    }
    server_.setToken(settings.token.toUtf8());
    server_.setCommandsEnabled(commands_);
    QByteArrayList names;
    for (const QString& n : settings.names.split(u',', Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            names.append(n.trimmed().toLower().toUtf8());
    server_.setUserNames(names);
    listenNow();
}

void WebLink::listenNow()
{
    const HostPort e = *ParseListen(listenText_);
    const QHostAddress address = ListenAddress(e.host);
    if (server_.listen(address, e.port)) {
        problem_.clear();
        listenPause_.reset();
        qCInfo(lcWeb).noquote() << "serving the page on" << HostPortText(address, server_.port())
                                << (IsLoopback(address) ? "without token" : "with the token")
                                << "commands" << commands_;
    } else {
        problem_ = ListenFailureText(e, server_.serverError(), server_.errorText());
        // As the station link does: whoever holds the port may let it go.
        const QString line = listenPause_.fail(QStringLiteral("web page"), problem_);
        if (!line.isEmpty())
            qCWarning(lcWeb).noquote() << line;
        listenRetry_.start(listenPause_.current());
    }
    Q_EMIT statusChanged();
}

QString WebLink::address() const
{
    return PageAddress(listenText_, {});
}

QString WebLink::statusText() const
{
    if (!enabled_)
        return QStringLiteral("Web page: off");
    if (!problem_.isEmpty())
        return QStringLiteral("Web page: ") + problem_;
    return QStringLiteral("Web page: ") + address();
}

void WebLink::updateReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown)
{
    record_ = record;
    alarmSetting_ = alarmSetting;
    alarmShown_ = alarmShown;
    meterAvailable_ = true;
    powerHold_.add(record.power);
    swrHold_.add(record.swr);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!history_.isEmpty() && now - history_.last().ms < HistoryStepMs)
        history_.last() = {history_.last().ms, record.power, record.swr};
    else
        history_.append({now, record.power, record.swr});
    while (!history_.isEmpty() && now - history_.first().ms > HistoryMs)
        history_.removeFirst();
    changed();
}

void WebLink::setMeterAvailable(bool available)
{
    if (available == meterAvailable_)
        return;
    meterAvailable_ = available;
    changed();
}

void WebLink::setHostLinked(bool linked)
{
    if (linked == hostLinked_)
        return;
    hostLinked_ = linked;
    changed();
}

void WebLink::setProtectionAlarm(bool latched, const QString& reason)
{
    if (latched == protectionLatched_ && reason == protectionReason_)
        return;
    protectionLatched_ = latched;
    protectionReason_ = reason;
    changed();
}

void WebLink::changed()
{
    // Nothing is built while no page watches.
    if (server_.webSocketCount() == 0)
        return;
    pending_ = true;
    const qint64 now = clock_.elapsed();
    if (now < nextAllowedMs_) {
        if (!rateTimer_.isActive())
            rateTimer_.start(int(nextAllowedMs_ - now));
        return;
    }
    sendState();
}

void WebLink::sendState()
{
    if (!pending_)
        return;
    pending_ = false;
    nextAllowedMs_ = clock_.elapsed() + MinIntervalMs;
    server_.broadcast(QString::fromUtf8(stateJson()));
}

void WebLink::sendHistory(QWebSocket* socket)
{
    QJsonArray points;
    for (const Point& p : std::as_const(history_))
        points.append(QJsonArray{p.ms, p.power, p.swr});
    socket->sendTextMessage(
        QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("history"), points}})
                              .toJson(QJsonDocument::Compact)));
}

QByteArray WebLink::metricsText() const
{
    PageMetrics m;
    m.received = record_.received;
    m.power = record_.power;
    m.swr = record_.swr;
    m.alarmSetting = alarmSetting_;
    m.alarmShown = alarmShown_;
    m.fullScaleWatts = FullScaleWatts(record_.rangeCode);
    m.port = meterAvailable_ ? PageMetrics::Port::Open : PageMetrics::Port::Waiting;
    m.hostLinked = hostLinked_;
    m.protectionLatched = protectionLatched_;
    m.webClients = server_.clientCount();
    m.webRefusals = server_.refusals();
    if (metricsSource_)
        metricsSource_(m);
    return MetricsText(m);
}

QByteArray WebLink::stateJson() const
{
    const QLocale locale;
    const StatusRecord& r = record_;
    const bool vector = r.received && VectorValid(r);
    const auto vectorText = [&](double v) {
        return vector ? GeneralNumberText(v, locale) : NoVectorValueText();
    };
    // Derived from the impedance and phase: a tenth of an ohm is all they hold.
    const auto ohmsText = [&](double v) {
        return vector ? locale.toString(v, 'f', 1) : QStringLiteral("0.0");
    };
    const std::optional<double> fullScale = FullScaleWatts(r.rangeCode);
    QString meter = QStringLiteral("reading");
    if (!meterAvailable_)
        meter = QStringLiteral("port lost");
    else if (!r.received)
        meter = QStringLiteral("no reading yet");
    const QJsonObject state{
        {QStringLiteral("meter"), meter},
        {QStringLiteral("received"), r.received},
        {QStringLiteral("hostLinked"), hostLinked_},
        {QStringLiteral("time"), QDateTime::currentMSecsSinceEpoch()},
        {QStringLiteral("power"), r.power},
        {QStringLiteral("powerText"), r.received ? PowerText(r.power, locale) : QString()},
        {QStringLiteral("powerPeak"), powerHold_.hasValue() ? powerHold_.level() : 0.0},
        {QStringLiteral("fullScale"), fullScale ? QJsonValue(*fullScale) : QJsonValue()},
        {QStringLiteral("swr"), r.swr},
        {QStringLiteral("swrText"), r.received ? SwrText(r.swr, locale) : QString()},
        {QStringLiteral("swrPeak"), swrHold_.hasValue() ? swrHold_.level() : 0.0},
        {QStringLiteral("alarmShown"), alarmShown_},
        {QStringLiteral("alarmSetting"), AlarmCaption(alarmSetting_)},
        {QStringLiteral("peakPower"), r.peakFlag == 1},
        {QStringLiteral("meterText"), r.meterText},
        {QStringLiteral("vectorValid"), vector},
        {QStringLiteral("impedance"), vectorText(r.impedance)},
        {QStringLiteral("phase"), vectorText(r.phase)},
        {QStringLiteral("resistance"), ohmsText(r.resistance)},
        {QStringLiteral("reactance"), ohmsText(r.reactance)},
        {QStringLiteral("protection"), QJsonObject{{QStringLiteral("latched"), protectionLatched_},
                                                   {QStringLiteral("reason"), protectionReason_}}},
        {QStringLiteral("commands"), commands_},
    };
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}
