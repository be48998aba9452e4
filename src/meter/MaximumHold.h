// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <functional>

// The level of a held-maximum marker: the highest reading, kept for the hold
// time after it came, then back to the latest reading, from which a new hold
// starts. Plain arithmetic on a clock that tests can drive.
class MaximumHold {
public:
    // Milliseconds from any fixed start; a steady clock unless a test gives one.
    using Clock = std::function<qint64()>;

    explicit MaximumHold(Clock clock = {});

    void setHoldMs(int holdMs) { holdMs_ = holdMs; }
    int holdMs() const { return holdMs_; }

    void add(double value);
    // Forgets every reading: no marker until the next one.
    void reset() { hasValue_ = false; }
    bool hasValue() const { return hasValue_; }
    // The marker's level now; the latest reading once the hold has run out.
    double level() const;

private:
    bool expired(qint64 now) const { return now - highestAt_ >= holdMs_; }

    Clock clock_;
    int holdMs_ = 2000;
    bool hasValue_ = false;
    double highest_ = 0;
    qint64 highestAt_ = 0;
    double latest_ = 0;
};
