// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttClient.h"

#include "HostPort.h"
#include "MqttLog.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {
// MQTT 3.1.1 refusal codes, in the words the window shows.
QString RefusalText(int rc)
{
    switch (rc) {
    case 1:
        return QStringLiteral("refused: protocol version not accepted");
    case 2:
        return QStringLiteral("refused: client id rejected");
    case 3:
        return QStringLiteral("refused: broker unavailable");
    case 4:
        return QStringLiteral("refused: bad user name or password");
    case 5:
        return QStringLiteral("refused: not authorised");
    default:
        return QStringLiteral("refused (code %1)").arg(rc);
    }
}

// The last error OpenSSL queued, in its words, and the queue emptied.
QString OpenSslError()
{
    char text[256] = {};
    const unsigned long e = ERR_peek_last_error();
    if (e != 0)
        ERR_error_string_n(e, text, sizeof text);
    ERR_clear_error();
    return e ? QString::fromUtf8(text) : QStringLiteral("unknown TLS error");
}

QString ErrorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    // libmosquitto 2.0 has no words for this one.
    if (rc == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("no answer to the keep-alive");
    return QString::fromUtf8(mosquitto_strerror(rc));
}
} // namespace

MqttClient::MqttClient(QObject* parent) : QObject(parent)
{
    mosquitto_lib_init();
    // Keep-alive pings are all it does; the broker waits 1.5 keep-alive
    // periods before it gives up on a client.
    housekeepingTimer_.setInterval(5000);
    connect(&housekeepingTimer_, &QTimer::timeout, this, &MqttClient::housekeeping);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MqttClient::attempt);
    connectTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this,
            [this] { failOrMoveOn(QStringLiteral("no answer from the broker")); });
}

MqttClient::~MqttClient()
{
    destroyClient();
    mosquitto_lib_cleanup();
}

QString MqttClient::brokerText() const
{
    return HostPortText(options_.host, options_.port);
}

void MqttClient::start(const Options& options)
{
    stop();
    options_ = options;
    pause_.reset();
    attempt();
}

void MqttClient::stop(const QByteArray& lastWordsTopic, const QByteArray& lastWords)
{
    retryTimer_.stop();
    if (mosq_ && state_ == State::Connected) {
        if (!lastWordsTopic.isEmpty())
            mosquitto_publish(mosq_, nullptr, lastWordsTopic.constData(),
                              static_cast<int>(lastWords.size()), lastWords.constData(), 1, true);
        mosquitto_disconnect(mosq_);
        // Whatever the socket takes now; a broker too slow for this learns
        // of the end from the closed connection.
        mosquitto_loop_write(mosq_, 1);
        qCInfo(lcMqtt) << "left the broker at" << brokerText();
    }
    destroyClient();
    reason_.clear();
    setState(State::Off);
}

bool MqttClient::publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain)
{
    if (!mosq_ || state_ != State::Connected)
        return false;
    const int rc =
        mosquitto_publish(mosq_, nullptr, topic.constData(), static_cast<int>(payload.size()),
                          payload.constData(), qos, retain);
    if (rc != MOSQ_ERR_SUCCESS)
        qCDebug(lcMqtt) << "publishing on" << topic << "failed:" << ErrorText(rc);
    settle(MOSQ_ERR_SUCCESS);
    return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::subscribe(const QByteArray& pattern, int qos)
{
    if (!mosq_ || state_ != State::Connected)
        return false;
    const int rc = mosquitto_subscribe(mosq_, nullptr, pattern.constData(), qos);
    settle(MOSQ_ERR_SUCCESS);
    return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::isWriting() const
{
    return mosq_ && mosquitto_want_write(mosq_);
}

void MqttClient::onConnect(mosquitto*, void* self, int rc)
{
    static_cast<MqttClient*>(self)->connack_ = rc;
}

void MqttClient::onDisconnect(mosquitto*, void*, int) {}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    client->received_.append(
        {QByteArray(message->topic),
         QByteArray(static_cast<const char*>(message->payload), message->payloadlen)});
}

void MqttClient::attempt()
{
    destroyClient();
    reason_.clear();
    addresses_.clear();
    if (!makeClient())
        return;
    setState(State::Connecting);
    qCInfo(lcMqtt) << "connecting to" << brokerText() << "as" << options_.clientId
                   << (options_.caFile.isEmpty() ? "" : "with TLS");

    // libmosquitto looks names up with the blocking resolver; do that part
    // here, in the background, and hand it an address. With TLS the name
    // still checks the broker's certificate and goes out as the server's
    // name: setUpTls() gave it to OpenSSL.
    if (const QHostAddress address(options_.host); !address.isNull()) {
        addresses_ = {address};
        connectTo(0);
    } else {
        lookupId_ = QHostInfo::lookupHost(options_.host, this, &MqttClient::hostFound);
    }
}

bool MqttClient::makeClient()
{
    mosq_ = mosquitto_new(options_.clientId.toUtf8().constData(), true, this);
    if (!mosq_) {
        fail(QStringLiteral("libmosquitto could not make a client"));
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(mosq_, &MqttClient::onMessage);
    if (!options_.user.isEmpty()) {
        const QByteArray user = options_.user.toUtf8();
        const QByteArray password = options_.password.toUtf8();
        mosquitto_username_pw_set(mosq_, user.constData(),
                                  options_.password.isEmpty() ? nullptr : password.constData());
    }
    if (!options_.willTopic.isEmpty())
        mosquitto_will_set(mosq_, options_.willTopic.constData(),
                           static_cast<int>(options_.willPayload.size()),
                           options_.willPayload.constData(), 1, true);
    return options_.caFile.isEmpty() || setUpTls();
}

bool MqttClient::tryNextAddress(const QString& why)
{
    // A name often stands for an IPv6 and an IPv4 address while the broker
    // listens on one of them: "localhost" is ::1 first on Debian 13. Only a
    // connection that never reached a broker moves on; a broker's refusal or
    // a refused certificate is its answer.
    const qsizetype next = address_ + 1;
    if (state_ != State::Connecting || refused_ || !tlsRefusal_.isEmpty() ||
        next >= addresses_.size())
        return false;
    qCInfo(lcMqtt).noquote() << "broker" << brokerText() << "at"
                             << HostPortText(addresses_.at(address_), options_.port) + u':' << why
                             << "- trying" << HostPortText(addresses_.at(next), options_.port);
    destroyClient();
    if (makeClient())
        connectTo(next);
    return true;
}

void MqttClient::hostFound(const QHostInfo& info)
{
    lookupId_ = -1;
    if (!mosq_)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        fail(QStringLiteral("can't find host %1 (%2)").arg(options_.host, info.errorString()));
        return;
    }
    addresses_ = info.addresses();
    connectTo(0);
}

int MqttClient::verifyPeer(int preverified, X509_STORE_CTX* store)
{
    const auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = static_cast<MqttClient*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!preverified && self && self->tlsRefusal_.isEmpty())
        self->tlsRefusal_ = QStringLiteral("broker's certificate refused: %1")
                                .arg(QString::fromUtf8(X509_verify_cert_error_string(
                                    X509_STORE_CTX_get_error(store))));
    return preverified;
}

void MqttClient::tlsEvent(const ssl_st* constSsl, int where, int ret)
{
    SSL* ssl = const_cast<SSL*>(constSsl);
    auto* self = static_cast<MqttClient*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if ((where & SSL_CB_READ_ALERT) == SSL_CB_READ_ALERT && self->tlsRefusal_.isEmpty())
        self->tlsRefusal_ = QStringLiteral("the broker ended TLS: %1")
                                .arg(QString::fromUtf8(SSL_alert_desc_string_long(ret)));
    // libmosquitto names the server with the address it connected to; a
    // broker behind a proxy that routes by name needs the name, and an
    // address has no place there at all.
    if (!(where & SSL_CB_HANDSHAKE_START))
        return;
    QByteArray name = self->options_.host.toUtf8();
    SSL_set_tlsext_host_name(ssl,
                             QHostAddress(self->options_.host).isNull() ? name.data() : nullptr);
}

bool MqttClient::setUpTls()
{
    // Our own TLS context rather than mosquitto_tls_set(): libmosquitto checks
    // the certificate against the host it connects to, which is the looked-up
    // address; OpenSSL checks it here against the name the user gave.
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        fail(QStringLiteral("TLS can't be set up: %1").arg(OpenSslError()));
        return false;
    }
    const auto freeCtx = qScopeGuard([ctx] { SSL_CTX_free(ctx); });
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION);
    if (SSL_CTX_load_verify_locations(ctx, options_.caFile.toLocal8Bit().constData(), nullptr) !=
        1) {
        fail(QStringLiteral("the CA file %1 can't be used: %2")
                 .arg(options_.caFile, OpenSslError()));
        return false;
    }
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(ctx);
    const QByteArray host = options_.host.toUtf8();
    const bool named = QHostAddress(options_.host).isNull()
                           ? X509_VERIFY_PARAM_set1_host(param, host.constData(), 0) == 1
                           : X509_VERIFY_PARAM_set1_ip_asc(param, host.constData()) == 1;
    if (!named) {
        fail(QStringLiteral("TLS can't check the name %1").arg(options_.host));
        return false;
    }
    SSL_CTX_set_app_data(ctx, this);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, &MqttClient::verifyPeer);
    SSL_CTX_set_info_callback(ctx, &MqttClient::tlsEvent);
    // libmosquitto takes its own reference and frees it with the client;
    // without its defaults it uses the context as it is.
    int rc = mosquitto_int_option(mosq_, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_void_option(mosq_, MOSQ_OPT_SSL_CTX, ctx);
    if (rc != MOSQ_ERR_SUCCESS) {
        fail(QStringLiteral("libmosquitto can't use TLS: %1").arg(ErrorText(rc)));
        return false;
    }
    return true;
}

void MqttClient::connectTo(qsizetype index)
{
    address_ = index;
    const QByteArray address = addresses_.at(index).toString().toUtf8();
    const int rc = mosquitto_connect_async(mosq_, address.constData(), options_.port,
                                           options_.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        failOrMoveOn(ErrorText(rc));
        return;
    }
    socket_ = mosquitto_socket(mosq_);
    if (socket_ < 0) {
        fail(QStringLiteral("no socket"));
        return;
    }
    readNotifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read, this);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::readable);
    writeNotifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Write, this);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::writable);
    connectTimer_.start(connectTimeoutMs_);
    housekeepingTimer_.start();
    settle(MOSQ_ERR_SUCCESS);
}

void MqttClient::readable()
{
    if (mosq_)
        settle(mosquitto_loop_read(mosq_, 1));
}

void MqttClient::writable()
{
    if (mosq_)
        settle(mosquitto_loop_write(mosq_, 1));
}

void MqttClient::housekeeping()
{
    if (mosq_)
        settle(mosquitto_loop_misc(mosq_));
}

void MqttClient::settle(int rc)
{
    if (!mosq_)
        return;
    const int connack = std::exchange(connack_, -1);
    if (connack == 0) {
        connectTimer_.stop();
        pause_.reset();
        reason_.clear();
        qCInfo(lcMqtt) << "connected to" << brokerText();
    } else if (connack > 0) {
        reason_ = RefusalText(connack);
        refused_ = true;
    }

    const bool lost = rc != MOSQ_ERR_SUCCESS || mosquitto_socket(mosq_) != socket_ || (connack > 0);
    if (lost) {
        QString why = refused_ ? reason_ : ErrorText(rc);
        if (!refused_ && !tlsRefusal_.isEmpty())
            why = tlsRefusal_;
        else if (!refused_ && rc == MOSQ_ERR_TLS)
            why = QStringLiteral("TLS failed: %1").arg(OpenSslError());
        if (!refused_ && state_ == State::Connected)
            why = QStringLiteral("connection lost (%1)").arg(why);
        failOrMoveOn(why);
        return;
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
    if (connack == 0) {
        setState(State::Connected);
        Q_EMIT connected();
    }
    // Last, since a receiver may restart the client.
    const QList<Message> received = std::exchange(received_, {});
    for (const Message& m : received)
        Q_EMIT messageReceived(m.topic, m.payload);
}

void MqttClient::failOrMoveOn(const QString& why)
{
    if (!tryNextAddress(why))
        fail(why);
}

void MqttClient::fail(const QString& why)
{
    destroyClient();
    reason_ = why;
    const QString line = pause_.fail(QStringLiteral("broker ") + brokerText(), why);
    if (!line.isEmpty())
        qCWarning(lcMqtt).noquote() << line;
    retryTimer_.start(pause_.current());
    setState(State::Retrying);
}

void MqttClient::dropNotifiers()
{
    // A notifier may be the one whose signal is running now; as a child it
    // still goes with the client if no event loop runs again.
    for (std::unique_ptr<QSocketNotifier>* n : {&readNotifier_, &writeNotifier_}) {
        if (*n) {
            (*n)->setEnabled(false);
            n->release()->deleteLater();
        }
    }
    socket_ = -1;
}

void MqttClient::destroyClient()
{
    dropNotifiers();
    if (lookupId_ != -1) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    housekeepingTimer_.stop();
    connectTimer_.stop();
    if (mosq_) {
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }
    connack_ = -1;
    refused_ = false;
    tlsRefusal_.clear();
    received_.clear();
}

void MqttClient::setState(State state)
{
    state_ = state;
    Q_EMIT stateChanged();
}
