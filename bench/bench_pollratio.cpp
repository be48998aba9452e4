// SPDX-License-Identifier: GPL-3.0-or-later
// Share of ticks that accept one whole reply when the window polls the meter
// simulator through the real serial link, over 2000 ticks at each period.
#include "Station.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
constexpr int Ticks = 2000;

void AcceptedTicks(benchmark::State& state)
{
    const auto pollPeriod = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Station station(pollPeriod, {QStringLiteral("-e"), QStringLiteral("sweep on")});
        // The first tick after the open finds nothing; count from the first
        // accepted reply on.
        if (!station.reachSteadyState() ||
            !QTest::qWaitFor([&] { return station.outcomes.size() >= Ticks; },
                             Ticks * pollPeriod * 4 + 10000)) {
            state.SkipWithError("the ticks did not come");
            return;
        }
        const auto counted = station.outcomes.mid(0, Ticks);
        const auto accepted = static_cast<int>(counted.count(TickOutcome::Accepted));
        state.counters["ticks"] = Ticks;
        state.counters["accepted"] = accepted;
        state.counters["ratio"] = static_cast<double>(accepted) / Ticks;
        std::printf("%d ms: %d of %d ticks accepted a whole reply (%.2f%%)\n", pollPeriod, accepted,
                    Ticks, 100.0 * accepted / Ticks);
    }
}
BENCHMARK(AcceptedTicks)->Arg(80)->Arg(50)->Iterations(1)->Unit(benchmark::kSecond);
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
