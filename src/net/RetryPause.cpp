// SPDX-License-Identifier: GPL-3.0-or-later
#include "RetryPause.h"

#include <algorithm>

int RetryPause::next()
{
    current_ = current_ == 0 ? FirstMs : std::min(2 * current_, LongestMs);
    return current_;
}

QString RetryPause::fail(const QString& who, const QString& reason)
{
    const int pause = next();
    const QString said = who + QStringLiteral(": ") + reason;
    if (said == said_)
        return {};
    said_ = said;
    return QStringLiteral("%1; trying again in %2 s").arg(said).arg(pause / 1000);
}

void RetryPause::reset()
{
    current_ = 0;
    said_.clear();
}
