// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>

// What counts as loopback, for both servers alike: the address they listen
// on and, on the web page, the name a request's Host gives. Only this
// machine reaches a loopback address, so a server there asks no token; a
// Host that names one can't be a web site's name pointed at 127.0.0.1 (DNS
// rebinding).

// 127.0.0.0/8, ::1, and either of those IPv4-mapped (::ffff:127.0.0.1).
// The "any" addresses ("::", 0.0.0.0) are every address, not loopback.
bool IsLoopback(const QHostAddress& address);

// "localhost" (any case) or a literal loopback address: four decimal
// numbers 127.x.x.x or an IPv6 address, with or without its brackets. A
// name that merely starts like one ("127.0.0.1.example.org") is none.
bool IsLoopbackName(const QString& name);
