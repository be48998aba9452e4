// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a browser opens for the web page listening on `listen` (a listen
// key's text): "http://127.0.0.1:8734/", "http://[::1]:8734/"; the machine's
// name for every address; with "?token=..." beyond loopback when a token is
// given. Empty when `listen` is no listen address.
QString PageAddress(const QString& listen, const QString& token);
