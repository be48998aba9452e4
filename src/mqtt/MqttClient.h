// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RetryPause.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

struct mosquitto;
struct mosquitto_message;
struct x509_store_ctx_st;
struct ssl_st;
class QHostInfo;
class QSocketNotifier;

// One connection to an MQTT broker through libmosquitto, run by the event
// loop of the thread that owns it: the socket sits on socket notifiers and a
// timer does the keep-alive, so no call here waits on the network. A lost or
// refused connection is tried again after a pause that doubles from 1 s up
// to 30 s.
class MqttClient : public QObject {
    Q_OBJECT
public:
    enum class State { Off, Connecting, Connected, Retrying };

    struct Options {
        QString host;
        quint16 port = 1883;
        QString clientId;
        QString user;
        QString password;
        // TLS with these certificate authorities when set.
        QString caFile;
        QByteArray willTopic;
        QByteArray willPayload;
        // A connection that stalls without a word is noticed within two
        // periods: libmosquitto pings after one quiet period and gives up
        // when the next passes without an answer.
        int keepAliveSeconds = 15;
    };

    explicit MqttClient(QObject* parent = nullptr);
    ~MqttClient() override;

    // Drops any connection and starts connecting with these options.
    void start(const Options& options);
    // Publishes `lastWords` (retained, QoS 1) if connected, then leaves the
    // broker cleanly, so it does not send the will.
    void stop(const QByteArray& lastWordsTopic = {}, const QByteArray& lastWords = {});

    // False when not connected or libmosquitto refuses; nothing is queued
    // for later.
    bool publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain);
    bool subscribe(const QByteArray& pattern, int qos);
    // Whether earlier messages still wait for the socket.
    bool isWriting() const;

    State state() const { return state_; }
    // Why the last attempt failed or the broker refused ("bad user name or
    // password"); empty while connected.
    QString reason() const { return reason_; }
    // The pause before the next attempt while Retrying.
    int retryPauseMs() const { return pause_.current(); }
    QString brokerText() const;

    // How long the broker may take to accept a connection before the
    // attempt counts as failed.
    void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }

Q_SIGNALS:
    void stateChanged();
    // The broker accepted the connection: publish what it should hold.
    void connected();
    void messageReceived(const QByteArray& topic, const QByteArray& payload);

private:
    static void onConnect(mosquitto* m, void* self, int rc);
    static void onDisconnect(mosquitto* m, void* self, int rc);
    static void onMessage(mosquitto* m, void* self, const mosquitto_message* message);

    static int verifyPeer(int preverified, x509_store_ctx_st* store);
    static void tlsEvent(const ssl_st* ssl, int where, int ret);

    void attempt();
    bool makeClient();
    bool setUpTls();
    void hostFound(const QHostInfo& info);
    void connectTo(qsizetype index);
    // Whether another of the name's addresses is being tried instead.
    bool tryNextAddress(const QString& why);
    void readable();
    void writable();
    void housekeeping();
    // After every call into libmosquitto: follow its socket and notice a loss.
    void settle(int rc);
    void failOrMoveOn(const QString& why);
    void fail(const QString& why);
    void dropNotifiers();
    void destroyClient();
    void setState(State state);

    struct Message {
        QByteArray topic;
        QByteArray payload;
    };

    mosquitto* mosq_ = nullptr;
    Options options_;
    State state_ = State::Off;
    QString reason_;
    RetryPause pause_;
    int connectTimeoutMs_ = 10000;
    int lookupId_ = -1;
    // The broker's addresses, and the one this attempt connects to.
    QList<QHostAddress> addresses_;
    qsizetype address_ = 0;
    int socket_ = -1;
    bool refused_ = false;
    // Why OpenSSL refused the broker's certificate in this attempt.
    QString tlsRefusal_;
    // What libmosquitto's callbacks saw during the last call, handled after it.
    int connack_ = -1;
    QList<Message> received_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QTimer housekeepingTimer_;
    QTimer retryTimer_;
    QTimer connectTimer_;
};
