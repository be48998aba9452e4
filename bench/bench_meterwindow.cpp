// SPDX-License-Identifier: GPL-3.0-or-later
// Processor time per tick of the whole program polling the meter simulator
// every 50 ms: without a meter window, with it hidden (it still keeps the
// history), and with it shown over an hour of history. The ratio of shown to
// none is the cost of watching the meter window.
#include "MeterWindow.h"
#include "Station.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>

namespace {
constexpr int PollPeriodMs = 50;
constexpr int Ticks = 300;

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

enum class Meter { None, Hidden, Shown, ShownMinute };

// Processor microseconds per tick, or a negative number when the ticks did not come.
double CpuPerTick(Station& station, Meter mode)
{
    std::unique_ptr<MeterWindow> meter;
    QMetaObject::Connection feed;
    if (mode != Meter::None) {
        meter = std::make_unique<MeterWindow>(station.store);
        meter->setHistoryMinutes(mode == Meter::ShownMinute ? 1 : 60);
        // An hour of readings at this poll rate, up to now.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (qint64 t = now - ReadingHistory::KeptMs; t < now; t += PollPeriodMs)
            meter->history().add(t, 10.0 + double(t % 40) * 2.5, 250, 1.0 + double(t % 30) * 0.05);
        feed = QObject::connect(station.window.get(), &MainWindow::tickFinished, meter.get(),
                                [&station, m = meter.get()](TickOutcome o) {
                                    if (o != TickOutcome::Accepted)
                                        return;
                                    const StatusRecord& r = station.window->run().record();
                                    m->showReading(r, static_cast<qint32>(r.alarmSetting), false);
                                });
        if (mode == Meter::Shown || mode == Meter::ShownMinute) {
            meter->resize(800, 600);
            meter->show();
        }
    }
    // Settle first: the window's first layout and chart are not the steady cost.
    station.pollsOn(20);
    station.outcomes.clear();
    const double start = ProcessCpuSeconds();
    if (!QTest::qWaitFor([&] { return station.outcomes.size() >= Ticks; },
                         Ticks * PollPeriodMs * 4 + 10000))
        return -1;
    const double used = ProcessCpuSeconds() - start;
    QObject::disconnect(feed);
    return used * 1e6 / double(station.outcomes.size());
}

void MeterWindowCost(benchmark::State& state)
{
    for (auto _ : state) {
        Station station(PollPeriodMs, {QStringLiteral("-e"), QStringLiteral("sweep on")});
        if (!station.reachSteadyState()) {
            state.SkipWithError("no replies from the meter simulator");
            return;
        }
        const double none = CpuPerTick(station, Meter::None);
        const double hidden = CpuPerTick(station, Meter::Hidden);
        const double shown = CpuPerTick(station, Meter::Shown);
        // The shortest span redraws the chart the most often.
        const double minute = CpuPerTick(station, Meter::ShownMinute);
        if (none <= 0 || hidden <= 0 || shown <= 0 || minute <= 0) {
            state.SkipWithError("the ticks did not come");
            return;
        }
        state.counters["none_us"] = none;
        state.counters["hidden_us"] = hidden;
        state.counters["shown_us"] = shown;
        state.counters["minute_us"] = minute;
        state.counters["ratio"] = shown / none;
        std::printf("processor time per %d ms tick over %d ticks: no meter window %.0f us, "
                    "hidden %.0f us, shown with an hour of history %.0f us; "
                    "shown/none %.2f (goal under 1.5); shown at the 1-minute span %.0f us "
                    "(%.2f)\n",
                    PollPeriodMs, Ticks, none, hidden, shown, shown / none, minute, minute / none);
    }
}
BENCHMARK(MeterWindowCost)->Iterations(1)->Unit(benchmark::kSecond);
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
