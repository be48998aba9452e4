// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>

// How long a link waits before it tries its peer again: 1 s after the first
// failure, twice as long after each further one, never more than 30 s, and
// 1 s again once a try succeeded. Every link to another program uses it, so
// a peer that is away all day costs a try every 30 s.
class RetryPause {
public:
    static constexpr int FirstMs = 1000;
    static constexpr int LongestMs = 30000;

    // The pause to wait after a failure now.
    int next()
    {
        current_ = current_ == 0 ? FirstMs : std::min(2 * current_, LongestMs);
        return current_;
    }
    // A try succeeded: the next failure waits FirstMs.
    void reset() { current_ = 0; }
    // The pause last returned by next(); 0 after reset().
    int current() const { return current_; }

private:
    int current_ = 0;
};
