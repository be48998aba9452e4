// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How long a link waits before it tries its peer again: 1 s after the first
// failure, twice as long after each further one, never more than 30 s, and
// 1 s again once a try succeeded. Every link to another program uses it, so
// a peer that is away all day costs a try every 30 s.
//
// It also keeps the log readable: a peer that stays away is said once per
// loss, and again only when the reason changes, in one form for every link:
// "rig daemon [::1]:4532: Connection refused; trying again in 1 s".
class RetryPause {
public:
    static constexpr int FirstMs = 1000;
    static constexpr int LongestMs = 30000;

    // The pause to wait after a failure now.
    int next();
    // A try failed for `reason`: counts it as next() does and returns the
    // line for the log, or an empty text when the log has said it already.
    // `who` names the link and its peer.
    QString fail(const QString& who, const QString& reason);
    // A try succeeded: the next failure waits FirstMs and is said again.
    void reset();
    // The pause last returned by next(); 0 after reset().
    int current() const { return current_; }

private:
    int current_ = 0;
    QString said_;
};
