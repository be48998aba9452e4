// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortHold.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <unistd.h>

// Debian's mosquitto broker on a loopback port held for it (PortHold), with
// a config file (and, when asked, a password file) in a scratch folder.
class MosquittoBroker {
public:
    // Only these users, each with its password, when `users` is not empty.
    // `port`: one the caller holds; `listenerOptions`: lines for the
    // listener, such as certfile and keyfile for TLS.
    explicit MosquittoBroker(const QList<QPair<QString, QString>>& users = {}, quint16 port = 0,
                             const QString& listenerOptions = {})
        : port_(port ? port : hold_.port())
    {
        QString config = QStringLiteral("listener %1 127.0.0.1\n%2persistence false\n")
                             .arg(port_)
                             .arg(listenerOptions);
        if (geteuid() == 0)
            config += QStringLiteral("user root\n");
        if (users.isEmpty()) {
            config += QStringLiteral("allow_anonymous true\n");
        } else {
            const QString passwords = dir_.filePath(QStringLiteral("passwd"));
            QFile(passwords).open(QIODevice::WriteOnly);
            for (const auto& [user, password] : users)
                QProcess::execute(QStringLiteral("mosquitto_passwd"),
                                  {QStringLiteral("-b"), passwords, user, password});
            config += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords);
        }
        QFile file(dir_.filePath(QStringLiteral("mosquitto.conf")));
        file.open(QIODevice::WriteOnly);
        file.write(config.toUtf8());
        file.close();
        start();
    }
    ~MosquittoBroker() { stop(); }

    bool start()
    {
        process_.setProgram(QStringLiteral("mosquitto"));
        process_.setArguments(
            {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(dir_.filePath(QStringLiteral("log")), QIODevice::Append);
        process_.start();
        process_.waitForStarted(5000);
        return QTest::qWaitFor(
                   [this] {
                       if (process_.state() == QProcess::NotRunning)
                           return true;
                       QTcpSocket socket;
                       socket.connectToHost(QHostAddress::LocalHost, port_);
                       return socket.waitForConnected(200) && socket.localPort() != port_;
                   },
                   10000) &&
               process_.state() == QProcess::Running;
    }
    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }
    bool isRunning() const { return process_.state() == QProcess::Running; }
    quint16 port() const { return port_; }
    QString log() const
    {
        QFile file(dir_.filePath(QStringLiteral("log")));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }

private:
    QTemporaryDir dir_;
    PortHold hold_;
    quint16 port_;
    QProcess process_;
};

// Certificates made with openssl for a broker on TLS: an authority, the
// broker's certificate for the name "localhost" alone, signed by it, and a
// second authority that signed nothing of the broker's.
class TestCertificates {
public:
    TestCertificates()
    {
        const auto openssl = [](const QStringList& arguments) {
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(QStringLiteral("openssl"), arguments);
            return p.waitForFinished(30000) && p.exitCode() == 0;
        };
        const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes"};
        made_ = true;
        for (const char* ca : {"ca", "other-ca"})
            made_ = made_ && openssl(QStringList{"req", "-x509"} + key +
                                     QStringList{"-keyout", path(ca) + ".key", "-out",
                                                 path(ca) + ".pem", "-days", "2", "-subj",
                                                 QStringLiteral("/CN=Vossbridge test %1").arg(ca)});
        QFile names(path("names"));
        made_ = made_ && names.open(QIODevice::WriteOnly) &&
                names.write("subjectAltName=DNS:localhost\n") > 0;
        names.close();
        made_ = made_ &&
                openssl(QStringList{"req"} + key +
                        QStringList{"-keyout", path("broker.key"), "-out", path("broker.csr"),
                                    "-subj", "/CN=localhost"}) &&
                openssl({"x509", "-req", "-in", path("broker.csr"), "-CA", path("ca.pem"), "-CAkey",
                         path("ca.key"), "-CAcreateserial", "-out", path("broker.pem"), "-days",
                         "2", "-extfile", path("names")});
    }
    bool made() const { return made_; }
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    // The broker's listener lines.
    QString listenerOptions() const
    {
        return QStringLiteral("certfile %1\nkeyfile %2\n")
            .arg(path("broker.pem"), path("broker.key"));
    }

private:
    QTemporaryDir dir_;
    bool made_ = false;
};

// One message as mosquitto_sub printed it.
struct SeenMessage {
    bool retained = false;
    QByteArray topic;
    QByteArray payload;
};

// mosquitto_sub on one broker, printing every message on `pattern` with its
// retain flag and payload in hex, so binary payloads arrive whole.
class MosquittoSubscriber {
public:
    MosquittoSubscriber(quint16 port, const QString& pattern, const QStringList& extra = {})
        : port_(port)
    {
        process_.setProgram(QStringLiteral("mosquitto_sub"));
        process_.setArguments(
            QStringList{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                        QString::number(port), QStringLiteral("-t"), pattern, QStringLiteral("-t"),
                        ProbeTopic, QStringLiteral("-F"), QStringLiteral("%r %t %x")} +
            extra);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    ~MosquittoSubscriber()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

    // Waits until the subscription stands: a probe published now comes back.
    bool ready()
    {
        for (int i = 0; i < 40; ++i) {
            QProcess::execute(QStringLiteral("mosquitto_pub"),
                              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("-p"), QString::number(port_), QStringLiteral("-t"),
                               ProbeTopic, QStringLiteral("-m"), QStringLiteral("probe")});
            if (QTest::qWaitFor([this] { return !on(ProbeTopic.toUtf8()).isEmpty(); }, 250))
                return true;
        }
        return false;
    }

    QList<SeenMessage> messages()
    {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine().trimmed();
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() < 2)
                continue;
            seen_.append({parts[0] == "1", parts[1],
                          parts.size() > 2 ? QByteArray::fromHex(parts[2]) : QByteArray()});
        }
        return seen_;
    }
    QList<SeenMessage> on(const QByteArray& topic)
    {
        QList<SeenMessage> found;
        for (const SeenMessage& m : messages())
            if (m.topic == topic)
                found << m;
        return found;
    }
    QByteArray lastPayload(const QByteArray& topic)
    {
        const QList<SeenMessage> found = on(topic);
        return found.isEmpty() ? QByteArray() : found.constLast().payload;
    }
    bool waitFor(const QByteArray& topic, const QByteArray& payload, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return lastPayload(topic) == payload; }, ms);
    }

    inline static const QString ProbeTopic = QStringLiteral("probe/subscriber");

private:
    quint16 port_;
    QProcess process_;
    QList<SeenMessage> seen_;
};

// mosquitto_pub sending one message, its payload from a file so any bytes go.
inline bool PublishWithMosquittoPub(quint16 port, const QString& topic, const QByteArray& payload)
{
    QTemporaryFile file;
    if (!file.open())
        return false;
    file.write(payload);
    file.flush();
    return QProcess::execute(QStringLiteral("mosquitto_pub"),
                             {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                              QStringLiteral("-p"), QString::number(port), QStringLiteral("-t"),
                              topic, QStringLiteral("-f"), file.fileName()}) == 0;
}
