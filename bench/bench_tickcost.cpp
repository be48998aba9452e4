// SPDX-License-Identifier: GPL-3.0-or-later
// CPU per tick of the built program beside the floor (bench_tickfloor: the
// same tick's work on termios and libdbus, no Qt), at 50 and at 80 ms, each
// against its own meter simulator that answers every poll at the line's pace
// with a new power value, both reporting to the reference host. Also the
// time from the program's exec to its first poll and its peak resident
// memory, with no link of Tools on.
// Usage: bench_tickcost [ticks] [program]   (default 400 ticks at each period;
// `program`: another build of vossbridge to measure, for a before and after)
#include "ProgramProbe.h"

#include <QCoreApplication>
#include <cstdio>
#include <memory>

using namespace ProgramProbe;

namespace {
// Ticks left out at the start, while the program settles.
constexpr qint64 WarmUpTicks = 40;
// The goal for the program against the floor.
constexpr double GoalRatio = 2.5;

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

struct Result {
    double program = 0;
    double floor = 0;
    qint64 firstPollMs = -1;
    qint64 programPeakKb = 0;
    qint64 floorPeakKb = 0;
};

bool Measure(const QString& bin, const QString& programPath, int periodMs, qint64 ticks,
             Result& result)
{
    Run program{std::make_unique<Meter>(bin, QStringList{"ramp on"})};
    Run floor{std::make_unique<Meter>(bin, QStringList{"ramp on"})};
    if (program.meter->device().isEmpty() || floor.meter->device().isEmpty()) {
        std::fprintf(stderr, "the meter simulator did not start\n");
        return false;
    }
    Program vossbridge(bin, program.meter->device(), periodMs, programPath);
    program.pid = vossbridge.pid();
    QProcess floorProcess;
    floorProcess.setProcessChannelMode(QProcess::ForwardedChannels);
    floorProcess.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_tickfloor"),
                       {floor.meter->device(), QString::number(periodMs)});
    floorProcess.waitForStarted();
    floor.pid = floorProcess.processId();

    const bool done = WaitUntil(
        [&] {
            const bool a = program.look(ticks);
            const bool b = floor.look(ticks);
            return a && b;
        },
        ticks * periodMs * 4 + 60000);
    floorProcess.kill();
    floorProcess.waitForFinished(5000);
    if (!done) {
        std::fprintf(stderr, "the ticks did not come (program %lld polls, floor %lld)\n",
                     static_cast<long long>(program.meter->polls()),
                     static_cast<long long>(floor.meter->polls()));
        return false;
    }
    result.program = program.usPerTick();
    result.floor = floor.usPerTick();
    result.firstPollMs = vossbridge.startedAt().msecsTo(program.meter->firstPollAt());
    result.programPeakKb = program.peakKb;
    result.floorPeakKb = floor.peakKb;
    return true;
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
    std::printf("%lld ticks at each period, program (%s) and floor side by side\n",
                static_cast<long long>(ticks),
                programPath.isEmpty() ? "this build" : qPrintable(programPath));
    std::printf("period  program us/tick  floor us/tick  ratio (goal %.1f or less)\n", GoalRatio);
    std::fflush(stdout);
    Result first;
    for (const int period : {50, 80}) {
        Result r;
        if (!Measure(bin, programPath, period, ticks, r))
            return 1;
        std::printf("%3d ms  %15.0f  %13.0f  %5.2f\n", period, r.program, r.floor,
                    r.program / r.floor);
        std::fflush(stdout);
        if (period == 50)
            first = r;
    }
    std::printf("exec to first poll: %lld ms (at 50 ms; goal 100 ms or less)\n",
                static_cast<long long>(first.firstPollMs));
    std::printf("peak resident memory: program %.1f MB (goal 32 MB or less), floor %.1f MB\n",
                static_cast<double>(first.programPeakKb) / 1024.0,
                static_cast<double>(first.floorPeakKb) / 1024.0);
    return 0;
}
