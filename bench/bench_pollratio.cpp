// Share of ticks that accept one whole reply when the window polls the meter
// simulator through a real QSerialPort, over 2000 ticks at each period.
#include "DBusHostLink.h"
#include "IniSettingsStore.h"
#include "MeterSimProcess.h"
#include "QtSerialLink.h"
#include "Vossbridge.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
constexpr int Ticks = 2000;

void AcceptedTicks(benchmark::State& state)
{
    const auto pollrate = static_cast<int>(state.range(0));
    for (auto _ : state) {
        MeterSimProcess sim({QStringLiteral("-e"), QStringLiteral("sweep on")});
        IniSettingsStore store;
        store.save(QStringLiteral("Ports"), QStringLiteral("Com5"), sim.devicePath());
        store.save(QStringLiteral("StartUp"), QStringLiteral("ComPort"), QStringLiteral("5"));
        store.save(QStringLiteral("StartUp"), QStringLiteral("Pollrate"),
                   QString::number(pollrate));
        QtSerialLink port([&store](int n) { return DeviceForPort(store, n); });
        DBusHostLink host;
        Vossbridge window(store, port, host);

        bool steady = false;
        int counted = 0;
        int accepted = 0;
        QObject::connect(&window, &Vossbridge::tickFinished, &window, [&](TickOutcome o) {
            // The first tick after the open finds nothing; count from the
            // first accepted reply on.
            steady = steady || o == TickOutcome::Accepted;
            if (steady && counted < Ticks) {
                ++counted;
                accepted += o == TickOutcome::Accepted ? 1 : 0;
            }
        });
        window.show();
        if (!QTest::qWaitFor([&] { return counted >= Ticks; }, Ticks * pollrate * 4 + 10000)) {
            state.SkipWithError("the ticks did not come");
            return;
        }
        state.counters["ticks"] = counted;
        state.counters["accepted"] = accepted;
        state.counters["ratio"] = static_cast<double>(accepted) / counted;
        std::printf("%d ms: %d of %d ticks accepted a whole reply (%.2f%%)\n", pollrate, accepted,
                    counted, 100.0 * accepted / counted);
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
