// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RunCounts.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>

// What GET /metrics tells monitoring, gathered from the run and the links.
struct PageMetrics {
    bool received = false; // an accepted reply since the start
    double power = 0;
    double swr = 0;
    int alarmSetting = 0; // 0 Off, 1 1.5, 2 2.0, 3 2.5, 4 3.0
    bool alarmShown = false;
    std::optional<double> fullScaleWatts;
    enum class Port { Open, Lost, Waiting };
    Port port = Port::Waiting;
    bool hostLinked = false;
    RunCounts counts;
    int stationClients = 0;
    quint64 stationRefusals = 0;
    bool protectionLatched = false;
    enum class Mqtt { Off, Connecting, Connected, Retrying };
    Mqtt mqtt = Mqtt::Off;
    int webClients = 0;
    quint64 webRefusals = 0;
};

// Prometheus' text format, version 0.0.4.
QByteArray MetricsText(const PageMetrics& m);
