// SPDX-License-Identifier: GPL-3.0-or-later
#include "MaximumHold.h"

#include <QDeadlineTimer>

MaximumHold::MaximumHold(Clock clock) : clock_(std::move(clock))
{
    if (!clock_)
        clock_ = [] { return QDeadlineTimer::current().deadline(); };
}

void MaximumHold::add(double value)
{
    const qint64 now = clock_();
    if (!hasValue_ || value >= highest_ || expired(now)) {
        highest_ = value;
        highestAt_ = now;
    }
    latest_ = value;
    hasValue_ = true;
}

double MaximumHold::level() const
{
    return expired(clock_()) ? latest_ : highest_;
}
