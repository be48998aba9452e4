// SPDX-License-Identifier: GPL-3.0-or-later
// The built program at the fastest poll period for a long run, with a meter
// whose SWR crosses the alarm threshold often and the reference host taking
// the reports. Every 1000 ticks it samples resident memory, open files and
// CPU, and at the end prints the growth per 100000 ticks.
// Usage: bench_soak [ticks] [replies-between-crossings]
//   ticks: default 20000, at most 100000
//   replies-between-crossings: default 1 (the alarm colour changes on every reply)
#include "ProgramProbe.h"

#include <QCoreApplication>
#include <QList>
#include <cstdio>

using namespace ProgramProbe;

namespace {
constexpr int PeriodMs = 50;
constexpr qint64 SampleTicks = 1000;
// Samples before this many ticks are left out of the growth: caches filling
// at the start are not growth.
constexpr qint64 SettleTicks = 2000;

struct Sample {
    qint64 tick;
    qint64 rssKb;
    qsizetype fds;
    qint64 cpuNs;
};

// Least-squares slope of resident memory over ticks, in KB per tick.
double RssSlope(const QList<Sample>& samples)
{
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample& s : samples) {
        const auto x = static_cast<double>(s.tick);
        const auto y = static_cast<double>(s.rssKb);
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 ticks = argc > 1 ? std::clamp<qint64>(std::atoll(argv[1]), 5000, 100000) : 20000;
    const int crossEvery = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 100000) : 1;
    const QString bin = QStringLiteral(VOSSBRIDGE_BIN_DIR);

    Host host(bin);
    if (!host.waitUntilOnBus()) {
        std::fprintf(stderr, "the reference host did not come up (is there a session bus?)\n");
        return 1;
    }
    // SWR 2.00 and 1.00 at alarm setting 1 (1.5) and 100 W: the Alarm button
    // turns red and back.
    Meter meter(bin, {QStringLiteral("alarm 1"), QStringLiteral("power 100"),
                      QStringLiteral("cross %1").arg(crossEvery)});
    if (meter.device().isEmpty()) {
        std::fprintf(stderr, "the meter simulator did not start\n");
        return 1;
    }
    Program program(bin, meter.device(), PeriodMs);
    std::printf("%lld ticks at %d ms, SWR crossing the alarm every %d replies\n",
                static_cast<long long>(ticks), PeriodMs, crossEvery);
    std::printf("%8s %10s %5s %14s\n", "ticks", "RSS KB", "fds", "CPU ms/tick");
    std::fflush(stdout);

    QList<Sample> samples;
    qint64 next = 0;
    const bool done = WaitUntil(
        [&] {
            const qint64 polls = meter.polls();
            if (polls < next)
                return false;
            const Sample s{polls, RssKb(program.pid()), OpenFds(program.pid()),
                           CpuNs(program.pid())};
            if (s.rssKb < 0)
                return true; // gone; reported below
            if (!samples.isEmpty()) {
                const Sample& last = samples.last();
                std::printf("%8lld %10lld %5lld %14.3f\n", static_cast<long long>(s.tick),
                            static_cast<long long>(s.rssKb), static_cast<long long>(s.fds),
                            static_cast<double>(s.cpuNs - last.cpuNs) / 1e6 /
                                static_cast<double>(s.tick - last.tick));
                std::fflush(stdout);
            }
            samples << s;
            next = (polls / SampleTicks + 1) * SampleTicks;
            return polls >= ticks;
        },
        ticks * PeriodMs * 4 + 60000);
    if (!done || !program.running() || samples.size() < 3) {
        std::fprintf(stderr, "the run ended early: %lld ticks\n",
                     static_cast<long long>(meter.polls()));
        return 1;
    }

    QList<Sample> settled;
    for (const Sample& s : samples) {
        if (s.tick >= SettleTicks)
            settled << s;
    }
    const double growthKb = RssSlope(settled.size() >= 2 ? settled : samples) * 100000;
    const qsizetype fdGrowth = samples.last().fds - settled.value(0, samples.first()).fds;
    const double cpu = static_cast<double>(samples.last().cpuNs - samples.first().cpuNs) / 1e6 /
                       static_cast<double>(samples.last().tick - samples.first().tick);
    std::printf("RSS growth: %.0f KB per 100000 ticks (goal: under 512)\n", growthKb);
    std::printf("fd growth:  %lld (goal: 0)\n", static_cast<long long>(fdGrowth));
    std::printf("CPU:        %.3f ms per tick\n", cpu);
    return 0;
}
