// SPDX-License-Identifier: GPL-3.0-or-later
// CPU per tick of the built program at a 50 ms poll period, with a meter
// whose power changes on every reply and the reference host taking the
// reports, beside the same tick's work done with no window (the floor).
// Usage: bench_tickcost [ticks]   (default 2000)
#include "ProgramProbe.h"

#include <QCoreApplication>
#include <cstdio>
#include <memory>

using namespace ProgramProbe;

namespace {
constexpr int PeriodMs = 50;
// Ticks left out at the start, while the program settles.
constexpr qint64 WarmUpTicks = 40;

struct Run {
    const char* name;
    std::unique_ptr<Meter> meter;
    qint64 pid = 0;
    qint64 firstPoll = -1;
    qint64 firstCpu = 0;
    qint64 lastPoll = -1;
    qint64 lastCpu = 0;

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
        }
        return lastPoll >= 0;
    }
    double msPerTick() const
    {
        return static_cast<double>(lastCpu - firstCpu) / 1e6 /
               static_cast<double>(lastPoll - firstPoll);
    }
};
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 ticks = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
    const QString bin = QStringLiteral(VOSSBRIDGE_BIN_DIR);

    Host host(bin);
    if (!host.waitUntilOnBus()) {
        std::fprintf(stderr, "the reference host did not come up (is there a session bus?)\n");
        return 1;
    }
    Run program{"program", std::make_unique<Meter>(bin, QStringList{"ramp on"})};
    Run floor{"floor", std::make_unique<Meter>(bin, QStringList{"ramp on"})};
    if (program.meter->device().isEmpty() || floor.meter->device().isEmpty()) {
        std::fprintf(stderr, "the meter simulator did not start\n");
        return 1;
    }
    Program vossbridge(bin, program.meter->device(), PeriodMs);
    program.pid = vossbridge.pid();
    QProcess floorProcess;
    floorProcess.setProcessChannelMode(QProcess::ForwardedChannels);
    floorProcess.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_tickfloor"),
                       {floor.meter->device(), QString::number(PeriodMs)});
    floorProcess.waitForStarted();
    floor.pid = floorProcess.processId();

    std::printf("%lld ticks at %d ms, program and floor side by side...\n",
                static_cast<long long>(ticks), PeriodMs);
    std::fflush(stdout);
    const bool done = WaitUntil(
        [&] {
            const bool a = program.look(ticks);
            const bool b = floor.look(ticks);
            return a && b;
        },
        ticks * PeriodMs * 4 + 60000);
    floorProcess.kill();
    floorProcess.waitForFinished(5000);
    if (!done) {
        std::fprintf(stderr, "the ticks did not come (program %lld polls, floor %lld)\n",
                     static_cast<long long>(program.meter->polls()),
                     static_cast<long long>(floor.meter->polls()));
        return 1;
    }
    const double p = program.msPerTick();
    const double f = floor.msPerTick();
    std::printf("program: %.3f ms CPU per tick over %lld ticks\n", p,
                static_cast<long long>(program.lastPoll - program.firstPoll));
    std::printf("floor:   %.3f ms CPU per tick over %lld ticks (no window)\n", f,
                static_cast<long long>(floor.lastPoll - floor.firstPoll));
    std::printf("ratio:   %.2f (goal: 4 or less)\n", p / f);
    return 0;
}
