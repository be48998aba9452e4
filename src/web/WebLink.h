// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MaximumHold.h"
#include "PageMetrics.h"
#include "RetryPause.h"
#include "StatusReply.h"
#include "WebServer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class SettingsStore;

// The run's side of the web page: it hands over each accepted reading and
// the meter's, the host's and the protection's state, shows statusText(),
// and acts on the two command signals as on the window's Alarm and Fast/Slow
// buttons.
class WebLink : public QObject {
    Q_OBJECT
public:
    explicit WebLink(QObject* parent = nullptr);

    // Reads group "Web" (making the token when there is none) and, where it
    // differs from what the page is served with, listens anew, or stops
    // when the page is off. Unchanged settings keep every browser connected.
    // A port another program holds is tried again, less and less often,
    // until it is free.
    void applySettings(SettingsStore& store);
    bool isEnabled() const { return enabled_; }
    // "Web page: off", "Web page: http://127.0.0.1:8734/",
    // "Web page: can't listen on 0.0.0.0:80: in use".
    QString statusText() const;
    // The page's address as the settings name it, without the token.
    QString address() const;

    // The latest reading wins: at most 10 updates a second go to the pages.
    void updateReading(const StatusRecord& record, qint32 alarmSetting, bool alarmShown);
    void setMeterAvailable(bool available);
    void setHostLinked(bool linked);
    void setProtectionAlarm(bool latched, const QString& reason);

    // Fills in what the page does not follow itself: the run's and the other
    // links' counts and states.
    void setMetricsSource(std::function<void(PageMetrics&)> fill)
    {
        metricsSource_ = std::move(fill);
    }
    // GET /metrics.
    QByteArray metricsText() const;

    // The state as the page and GET /api/state have it.
    QByteArray stateJson() const;
    WebServer& server() { return server_; }

    static constexpr int MinIntervalMs = 100;
    // What the page's chart shows.
    static constexpr qint64 HistoryMs = 5 * 60 * 1000;
    static constexpr qint64 HistoryStepMs = 500;

Q_SIGNALS:
    void statusChanged();
    void stepAlarmRequested();
    void togglePeakRequested();

private:
    void listenNow();
    // What the server is started with.
    struct Settings {
        bool enabled = false;
        bool commands = false;
        QString listen;
        QString names;
        // Only beyond loopback: the page asks for it there.
        QString token;
        bool operator==(const Settings&) const = default;
    };
    Settings running_;
    bool applied_ = false;

    void changed();
    void sendState();
    void sendHistory(QWebSocket* socket);

    WebServer server_;
    bool enabled_ = false;
    bool commands_ = false;
    QString listenText_;
    QString problem_;
    QTimer listenRetry_;
    RetryPause listenPause_;

    StatusRecord record_;
    qint32 alarmSetting_ = 0;
    bool alarmShown_ = false;
    bool meterAvailable_ = false;
    bool hostLinked_ = false;
    bool protectionLatched_ = false;
    QString protectionReason_;
    MaximumHold powerHold_;
    MaximumHold swrHold_;

    struct Point {
        qint64 ms;
        double power;
        double swr;
    };
    QList<Point> history_;
    std::function<void(PageMetrics&)> metricsSource_;

    bool pending_ = false;
    QElapsedTimer clock_;
    qint64 nextAllowedMs_ = 0;
    QTimer rateTimer_;
};
