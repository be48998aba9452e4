// SPDX-License-Identifier: GPL-3.0-or-later
// The program's CPU per 50 ms poll tick with MQTT on (publishing at most 5
// state messages a second to a local mosquitto) against MQTT off, as a
// ratio. Each tick polls the meter simulator on its pty as the window does.
#include "FakeSettingsStore.h"
#include "MeterSimProcess.h"
#include "MosquittoBroker.h"
#include "MqttLink.h"
#include "PollCycle.h"
#include "PosixSerialLink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr int Ticks = 100;
constexpr int Rounds = 3;
constexpr int PollPeriodMs = 50;

double CpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return 1e6 * double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// CPU of this process per tick over Ticks poll ticks, each accepted reply
// decoded and handed to the link.
double CpuPerTick(PosixSerialLink& port, MqttLink& link)
{
    PollCycle cycle;
    PendingCommands pending;
    StatusRecord record;
    int ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks == Ticks)
            loop.quit();
        cycle.tick(port, pending, [&](const QString& reply) {
            DecodeStatusReply(reply, record);
            link.updateReading(record, 2, false);
        });
    });
    const double start = CpuMicroseconds();
    tick.start(PollPeriodMs);
    // A plain event loop: the ticks alone wake the process.
    loop.exec();
    return (CpuMicroseconds() - start) / ticks;
}

void MqttOnAgainstOff(benchmark::State& state)
{
    MosquittoBroker broker;
    if (!broker.isRunning()) {
        state.SkipWithError("mosquitto did not start");
        return;
    }
    FakeSettingsStore on;
    on.values[QStringLiteral("Mqtt/Enabled")] = QStringLiteral("true");
    on.values[QStringLiteral("Mqtt/Broker")] = QStringLiteral("127.0.0.1:%1").arg(broker.port());
    on.values[QStringLiteral("Mqtt/Rate")] = QStringLiteral("5");
    FakeSettingsStore off;
    MeterSimProcess sim({QStringLiteral("-e"), QStringLiteral("sweep on")});
    const QString device = sim.devicePath();
    PosixSerialLink port([device](int) { return device; });
    port.setPortNumber(5);
    port.setLineSettings(LineSettings{});
    port.setReadLength(0);
    if (device.isEmpty() || !port.open()) {
        state.SkipWithError("the meter simulator's line did not open");
        return;
    }
    for (auto _ : state) {
        double offCpu = 0;
        double onCpu = 0;
        // Alternate, so drift in the machine's load falls on both.
        {
            // Warm-up, not counted: first reads of the line, lazy set-up in Qt.
            MqttLink idle;
            CpuPerTick(port, idle);
        }
        for (int round = 0; round < Rounds; ++round) {
            MqttLink offLink;
            offLink.applySettings(off);
            offCpu += CpuPerTick(port, offLink);

            MqttLink onLink;
            onLink.applySettings(on);
            if (!QTest::qWaitFor(
                    [&] { return onLink.client().state() == MqttClient::State::Connected; },
                    10000)) {
                state.SkipWithError("no connection to mosquitto");
                return;
            }
            onCpu += CpuPerTick(port, onLink);
        }
        state.counters["off_us_per_tick"] = offCpu / Rounds;
        state.counters["on_us_per_tick"] = onCpu / Rounds;
        state.counters["ratio"] = onCpu / offCpu;
        std::printf("CPU per %d ms tick: MQTT off %.1f us, on %.1f us, ratio %.2f (goal < 1.2)\n",
                    PollPeriodMs, offCpu / Rounds, onCpu / Rounds, onCpu / offCpu);
    }
}
BENCHMARK(MqttOnAgainstOff)->Iterations(1)->Unit(benchmark::kSecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
