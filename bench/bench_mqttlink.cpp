// SPDX-License-Identifier: GPL-3.0-or-later
// The program's CPU per 50 ms poll tick with MQTT on (publishing at most 5
// state messages a second to a local mosquitto) against MQTT off, as a
// ratio. The program's run polls the meter simulator on its pty.
#include "MosquittoBroker.h"
#include "RunCpu.h"

#include <QCoreApplication>
#include <QTest>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
constexpr int Ticks = 100;
constexpr int Rounds = 3;
constexpr int PollPeriodMs = 50;

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
    SimulatedProgram program(off, PollPeriodMs);
    if (!program.parts.run.start()) {
        state.SkipWithError("the meter simulator's line did not open");
        return;
    }
    MeterRun& run = program.parts.run;
    MqttLink& link = program.parts.links.mqtt();
    for (auto _ : state) {
        double offCpu = 0;
        double onCpu = 0;
        // Warm-up, not counted: first reads of the line, lazy set-up in Qt.
        CpuPerTick(run, Ticks);
        // Alternate, so drift in the machine's load falls on both.
        for (int round = 0; round < Rounds; ++round) {
            link.applySettings(off);
            offCpu += CpuPerTick(run, Ticks);

            link.applySettings(on);
            if (!QTest::qWaitFor(
                    [&] { return link.client().state() == MqttClient::State::Connected; }, 10000)) {
                state.SkipWithError("no connection to mosquitto");
                return;
            }
            onCpu += CpuPerTick(run, Ticks);
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
