// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <optional>

// One request's head as the page's server reads it: the request line and
// the header fields, names lower-cased. Plain code, no sockets.
struct HttpRequest {
    QByteArray method;
    QByteArray path;  // without the query
    QByteArray query; // after '?', not decoded
    QList<QPair<QByteArray, QByteArray>> headers;

    // The first field of that (lower-case) name, trimmed; empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // A parameter of the query ("token" from "?token=abc"), percent-decoded.
    std::optional<QByteArray> queryValue(const QByteArray& name) const;
    // A cookie of that name from the Cookie field.
    std::optional<QByteArray> cookie(const QByteArray& name) const;
    // The token of an "Authorization: Bearer <token>" field.
    std::optional<QByteArray> bearer() const;
};

// The head up to (not including) the blank line; nothing when the request
// line or a field is malformed, or the version is not HTTP/1.x.
std::optional<HttpRequest> ParseRequestHead(const QByteArray& head);

// Equal texts, taking the same time wherever they differ.
bool SameSecret(const QByteArray& a, const QByteArray& b);
