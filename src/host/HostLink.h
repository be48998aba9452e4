// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The link to the station-control program's automation service: a server
// object and the target object it names, which takes the reports.
class HostLink {
public:
    virtual ~HostLink() = default;

    // Builds a fresh link. A step that fails is skipped and leaves what the
    // link held before; no error is reported.
    virtual void createLink() = 0;
    // Whether there is a target to report to.
    virtual bool isLinked() const = 0;
    // One report to the target; false when the call failed or timed out.
    virtual bool reportValue(int code, int index, double value, const QString& text) = 0;
    // Forgets the link, so no call goes to a host that failed.
    virtual void clear() = 0;
};
