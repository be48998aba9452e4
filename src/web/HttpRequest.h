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
    qint64 contentLength = 0;
    // The connection stays open after the answer.
    bool keepAlive = true;

    // The first field of that (lower-case) name, trimmed; empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // One of the comma-separated tokens of a field ("upgrade" in Connection).
    bool hasToken(const QByteArray& name, const QByteArray& token) const;
    // A parameter of the query ("token" from "?token=abc"), percent-decoded.
    std::optional<QByteArray> queryValue(const QByteArray& name) const;
    // A cookie of that name from the Cookie field.
    std::optional<QByteArray> cookie(const QByteArray& name) const;
    // The token of an "Authorization: Bearer <token>" field.
    std::optional<QByteArray> bearer() const;
    bool isWebSocketUpgrade() const;
};

// The length of the head with its blank line (CRLF or a bare LF ends a
// line), or -1 while the blank line has not come.
qsizetype HeadLength(const QByteArray& data);

// A head read, or why not: the status to refuse with and a short reason.
struct ParsedHead {
    std::optional<HttpRequest> request;
    int status = 400;
    const char* why = "";
};

// The head up to the blank line. What could frame the stream two ways is
// refused: a second Host or Content-Length, a length that is not plain digits,
// folded lines, header names that are not tokens, a bare CR; a
// Transfer-Encoding is not supported (501).
ParsedHead ParseRequestHead(const QByteArray& head);

// Equal texts, taking the same time wherever they differ.
bool SameSecret(const QByteArray& a, const QByteArray& b);
