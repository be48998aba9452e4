// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialLink.h"

#include <QString>
#include <functional>

// One-shot commands waiting for the next accepted reply. A flag, not a
// counter: pressing a button several times between two ticks sends once.
struct PendingCommands {
    bool stepAlarm = false;
    bool togglePeak = false;
    bool any() const { return stepAlarm || togglePeak; }
};

enum class TickOutcome { PortClosed, Rejected, Accepted };

// The meter side of one poll tick: withdraw unsent output, poll unless a
// one-shot command waits, take the whole read, and after an accepted reply
// send the pending commands. The caller reports to the host afterwards.
class PollCycle {
public:
    using AcceptedHandler = std::function<void(const QString& reply)>;

    // `onAccepted` runs for an accepted reply before the pending commands go
    // out: it shows and decodes the reply.
    TickOutcome tick(SerialLink& port, PendingCommands& pending, const AcceptedHandler& onAccepted);

    // Forget the previous read's outcome, for a freshly opened port.
    void reset() { pollOwed_ = false; }

    // What the last tick did on an open port: whether it wrote a poll, and
    // whether its read found nothing at all (a rejected read that is silence).
    bool lastTickPolled() const { return polled_; }
    bool lastReadEmpty() const { return readEmpty_; }

private:
    // A pending command waits for an accepted reply. If the read after a
    // skipped poll is rejected, the meter has nothing left to answer, so the
    // next tick polls anyway; otherwise a silent spell would stop polling for
    // good.
    bool pollOwed_ = false;
    bool polled_ = false;
    bool readEmpty_ = false;
};
