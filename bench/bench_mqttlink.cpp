// SPDX-License-Identifier: GPL-3.0-or-later
// The program's CPU per 50 ms tick with MQTT on (publishing at most 5 state
// messages a second to a local mosquitto) against MQTT off, as a ratio.
#include "FakeSettingsStore.h"
#include "MosquittoBroker.h"
#include "MqttLink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr int Ticks = 100;
constexpr int TickMs = 50;
const QString Reply = QStringLiteral(";  100.0, 50.0,-12.5,3,  HF  ,1,1,  20,1.50");

double CpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return 1e6 * double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// CPU of this process per tick over Ticks ticks that decode a reply and hand
// it to the link, as the window does.
double CpuPerTick(MqttLink& link)
{
    StatusRecord record;
    int ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks == Ticks)
            loop.quit();
        if (IsStatusReply(Reply))
            DecodeStatusReply(Reply, record);
        record.power = ticks;
        link.updateReading(record, 2, false);
    });
    const double start = CpuMicroseconds();
    tick.start(TickMs);
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
    for (auto _ : state) {
        double offCpu = 0;
        double onCpu = 0;
        // Alternate, so drift in the machine's load falls on both.
        for (int round = 0; round < 2; ++round) {
            MqttLink offLink;
            offLink.applySettings(off);
            offCpu += CpuPerTick(offLink);

            MqttLink onLink;
            onLink.applySettings(on);
            if (!QTest::qWaitFor(
                    [&] { return onLink.client().state() == MqttClient::State::Connected; },
                    10000)) {
                state.SkipWithError("no connection to mosquitto");
                return;
            }
            onCpu += CpuPerTick(onLink);
        }
        state.counters["off_us_per_tick"] = offCpu / 2;
        state.counters["on_us_per_tick"] = onCpu / 2;
        state.counters["ratio"] = onCpu / offCpu;
        std::printf("CPU per %d ms tick: MQTT off %.1f us, on %.1f us, ratio %.2f (goal < 1.2)\n",
                    TickMs, offCpu / 2, onCpu / 2, onCpu / offCpu);
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
