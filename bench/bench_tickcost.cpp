// SPDX-License-Identifier: GPL-3.0-or-later
// CPU per tick of the built program with its window and with --headless,
// beside the floor (bench_tickfloor: the same tick's work on termios and
// libdbus, no Qt), at 50 and at 80 ms, all three side by side, each against
// its own meter simulator that answers every poll at the line's pace with a
// new power value, all reporting to the reference host. Also the time from
// each program's exec to its first poll and its peak resident memory, with
// no link of Tools on.
// Usage: bench_tickcost [ticks] [program]   (default 400 ticks at each period;
// `program`: another build of vossbridge to measure, for a before and after)
#include "ProgramProbe.h"

#include <QCoreApplication>
#include <array>
#include <cstdio>
#include <memory>

using namespace ProgramProbe;

namespace {
// Ticks left out at the start, while the programs settle.
constexpr qint64 WarmUpTicks = 40;
// The goals, against the floor measured in the same run.
constexpr double WindowGoal = 3.0;
constexpr double HeadlessGoal = 1.4;
constexpr qint64 FirstPollMarginMs = 30;
constexpr double WindowGoalMb = 30;
constexpr double HeadlessGoalMb = 16;

struct Run {
    std::unique_ptr<Meter> meter;
    qint64 pid = 0;
    qint64 firstPoll = -1;
    qint64 firstCpu = 0;
    qint64 lastPoll = -1;
    qint64 lastCpu = 0;
    qint64 peakKb = 0;

    // Notes the start and the end of the counted ticks; true once ended.
    bool look(qint64 ticks)
    {
        if (lastPoll >= 0)
            return true;
        const qint64 polls = meter->polls();
        if (firstPoll < 0 && polls >= WarmUpTicks) {
            firstCpu = CpuNs(pid);
            firstPoll = polls;
        } else if (firstPoll >= 0 && polls >= firstPoll + ticks) {
            lastCpu = CpuNs(pid);
            lastPoll = polls;
            peakKb = PeakRssKb(pid);
        }
        return lastPoll >= 0;
    }
    double usPerTick() const
    {
        return static_cast<double>(lastCpu - firstCpu) / 1e3 /
               static_cast<double>(lastPoll - firstPoll);
    }
};

// The window, --headless and the floor, in this order.
enum Kind { Window, Headless, Floor, Kinds };
const std::array<const char*, Kinds> Names{"window", "headless", "floor"};

struct Result {
    std::array<double, Kinds> usPerTick{};
    std::array<qint64, Kinds> firstPollMs{};
    std::array<qint64, Kinds> peakKb{};
};

bool Measure(const QString& bin, const QString& programPath, int periodMs, qint64 ticks,
             Result& result)
{
    std::array<Run, Kinds> runs;
    for (Run& run : runs) {
        run.meter = std::make_unique<Meter>(bin, QStringList{"ramp on"});
        if (run.meter->device().isEmpty()) {
            std::fprintf(stderr, "the meter simulator did not start\n");
            return false;
        }
    }
    Program window(bin, runs[Window].meter->device(), periodMs, programPath);
    Program headless(bin, runs[Headless].meter->device(), periodMs, programPath,
                     {QStringLiteral("--headless")});
    QProcess floorProcess;
    floorProcess.setProcessChannelMode(QProcess::ForwardedChannels);
    const QDateTime floorStartedAt = QDateTime::currentDateTime();
    floorProcess.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_tickfloor"),
                       {runs[Floor].meter->device(), QString::number(periodMs)});
    floorProcess.waitForStarted();
    runs[Window].pid = window.pid();
    runs[Headless].pid = headless.pid();
    runs[Floor].pid = floorProcess.processId();

    const bool done = WaitUntil(
        [&] {
            bool all = true;
            for (Run& run : runs)
                all = run.look(ticks) && all;
            return all;
        },
        ticks * periodMs * 4 + 60000);
    floorProcess.kill();
    floorProcess.waitForFinished(5000);
    if (!done) {
        std::fprintf(stderr,
                     "the ticks did not come (window %lld polls, headless %lld, floor %lld)\n",
                     static_cast<long long>(runs[Window].meter->polls()),
                     static_cast<long long>(runs[Headless].meter->polls()),
                     static_cast<long long>(runs[Floor].meter->polls()));
        return false;
    }
    const std::array<QDateTime, Kinds> started{window.startedAt(), headless.startedAt(),
                                               floorStartedAt};
    for (int k = 0; k < Kinds; ++k) {
        result.usPerTick[k] = runs[k].usPerTick();
        result.firstPollMs[k] = started[k].msecsTo(runs[k].meter->firstPollAt());
        result.peakKb[k] = runs[k].peakKb;
    }
    return true;
}

const char* Verdict(bool met)
{
    return met ? "met" : "NOT met";
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 ticks = argc > 1 ? std::max(100, std::atoi(argv[1])) : 400;
    const QString programPath = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString bin = QStringLiteral(VOSSBRIDGE_BIN_DIR);

    Host host(bin);
    if (!host.waitUntilOnBus()) {
        std::fprintf(stderr, "the reference host did not come up (is there a session bus?)\n");
        return 1;
    }
    std::printf("%lld ticks at each period, program (%s) with its window, with --headless and "
                "the floor side by side\n",
                static_cast<long long>(ticks),
                programPath.isEmpty() ? "this build" : qPrintable(programPath));
    std::printf("period  window us/tick  headless us/tick  floor us/tick  window/floor (goal "
                "%.1f)  headless/floor (goal %.1f)\n",
                WindowGoal, HeadlessGoal);
    std::fflush(stdout);
    bool met = true;
    for (const int period : {50, 80}) {
        Result r;
        if (!Measure(bin, programPath, period, ticks, r))
            return 1;
        const double window = r.usPerTick[Window] / r.usPerTick[Floor];
        const double headless = r.usPerTick[Headless] / r.usPerTick[Floor];
        std::printf("%3d ms  %14.0f  %16.0f  %13.0f  %20.2f  %24.2f\n", period, r.usPerTick[Window],
                    r.usPerTick[Headless], r.usPerTick[Floor], window, headless);
        met = met && window <= WindowGoal && headless <= HeadlessGoal;
        for (int k = 0; k < Kinds; ++k) {
            const bool pollMet = r.firstPollMs[k] <= period + FirstPollMarginMs;
            const double mb = static_cast<double>(r.peakKb[k]) / 1024.0;
            const double goalMb = k == Window ? WindowGoalMb : HeadlessGoalMb;
            std::printf("        %-8s exec to first poll %4lld ms (goal %lld: %s), peak resident "
                        "memory %5.1f MB",
                        Names[k], static_cast<long long>(r.firstPollMs[k]),
                        static_cast<long long>(period + FirstPollMarginMs), Verdict(pollMet), mb);
            if (k != Floor) {
                std::printf(" (goal %.0f MB: %s)", goalMb, Verdict(mb <= goalMb));
                met = met && pollMet && mb <= goalMb;
            }
            std::printf("\n");
        }
        std::fflush(stdout);
    }
    std::printf("all goals %s\n", Verdict(met));
    return 0;
}
