// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QString>
#include <QTextStream>
#include <QTimer>
#include <memory>

// A power and SWR meter on the master side of a pseudo-terminal. It answers
// each poll with one status reply, sent at the pace of a 38400 baud line.
class MeterSimulator : public QObject {
    Q_OBJECT
public:
    explicit MeterSimulator(QTextStream& log, QObject* parent = nullptr);
    ~MeterSimulator() override;

    // Opens the pseudo-terminal; false with a reason when that fails.
    bool start(QString* error);
    QString slavePath() const { return slavePath_; }

    // One scripting command, as read from standard input or -e. Returns false
    // for a command it doesn't know.
    bool execute(const QString& line);

    static QString usage();

Q_SIGNALS:
    void finished();

private:
    enum class ReplyMode { Normal, Silent, Short, Long, TrailingCr, NoStartMark, Garbage };

    void onMasterReadable();
    void onCommand(const QByteArray& command);
    QByteArray statusReply();
    QByteArray garbage();
    bool setNumber(const QString& verb, const QString& rest);
    void queueReply(const QByteArray& reply);
    void pump();
    void hangUp();
    void logLine(const QString& text);

    QTextStream& log_;
    int master_ = -1;
    int slave_ = -1; // held open so the line stays up between the program's opens
    QString slavePath_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray received_;
    QByteArray unsent_;
    QTimer pumpTimer_;
    QElapsedTimer pumpClock_;
    double credit_ = 0;

    double power_ = 100.0;
    double impedance_ = 50.0;
    double phase_ = 0.0;
    int alarm_ = 2;
    QString label_ = QStringLiteral("  HF  ");
    int range_ = 0;
    int peak_ = 0;
    double gate_ = 20;
    double swr_ = 1.2;
    bool sweep_ = false;
    bool paced_ = false;
    bool ramp_ = false;
    // SWR 2.00 and 1.00 in turn, each held for this many replies; 0: off.
    int crossEvery_ = 0;
    int delayMs_ = 0;
    ReplyMode mode_ = ReplyMode::Normal;
    quint64 replies_ = 0;
    QRandomGenerator random_{0x5eed};
};
