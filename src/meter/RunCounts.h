// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// What a metering run has counted since its start: the run counts, the web
// page and /metrics only read.
struct RunCounts {
    quint64 polls = 0;             // poll commands written to the meter
    quint64 accepted = 0;          // ticks whose read was a whole status reply
    quint64 rejected = 0;          // ticks whose read held something, but no whole reply
    quint64 ticksWithoutReply = 0; // ticks with the port open whose read held nothing
    quint64 hostAnswered = 0;
    quint64 hostRefused = 0;
    quint64 hostUnanswered = 0;
    quint64 hostNotSent = 0; // no link to send on, or the link could not send it
};
