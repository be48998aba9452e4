#include "PollCycle.h"

#include "StatusReply.h"

TickOutcome PollCycle::tick(SerialLink& port, PendingCommands& pending,
                            const AcceptedHandler& onAccepted)
{
    port.clearTransmitBuffer();
    if (!port.isOpen())
        return TickOutcome::PortClosed;
    port.clearTransmitBuffer();

    if (!pending.any() || pollOwed_)
        port.write(PollCommand);

    const QString reply = port.readAll();
    if (!IsStatusReply(reply)) {
        pollOwed_ = true;
        return TickOutcome::Rejected;
    }
    pollOwed_ = false;

    if (onAccepted)
        onAccepted(reply);
    if (pending.AlarmFlag) {
        port.write(AlarmCommand);
        pending.AlarmFlag = false;
    }
    if (pending.PwrFlag) {
        port.write(PeakCommand);
        pending.PwrFlag = false;
    }
    return TickOutcome::Accepted;
}
