// SPDX-License-Identifier: GPL-3.0-or-later
#include "PollCycle.h"

#include "StatusReply.h"

TickOutcome PollCycle::tick(SerialLink& port, PendingCommands& pending,
                            const AcceptedHandler& onAccepted)
{
    polled_ = false;
    readEmpty_ = false;
    if (!port.isOpen())
        return TickOutcome::PortClosed;
    port.clearTransmitBuffer();

    polled_ = !pending.any() || pollOwed_;
    if (polled_)
        port.write(PollCommand);

    const QString reply = port.readAll();
    readEmpty_ = reply.isEmpty();
    if (!IsStatusReply(reply)) {
        pollOwed_ = true;
        return TickOutcome::Rejected;
    }
    pollOwed_ = false;

    if (onAccepted)
        onAccepted(reply);
    if (pending.stepAlarm) {
        port.write(AlarmCommand);
        pending.stepAlarm = false;
    }
    if (pending.togglePeak) {
        port.write(PeakCommand);
        pending.togglePeak = false;
    }
    return TickOutcome::Accepted;
}
