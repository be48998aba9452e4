// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpRequest.h"

QByteArray HttpRequest::header(const QByteArray& name) const
{
    for (const auto& [n, v] : headers)
        if (n == name)
            return v;
    return {};
}

bool HttpRequest::hasHeader(const QByteArray& name) const
{
    for (const auto& field : headers)
        if (field.first == name)
            return true;
    return false;
}

std::optional<QByteArray> HttpRequest::queryValue(const QByteArray& name) const
{
    for (const QByteArray& pair : query.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq > 0 && pair.left(eq) == name)
            return QByteArray::fromPercentEncoding(pair.mid(eq + 1));
    }
    return std::nullopt;
}

std::optional<QByteArray> HttpRequest::cookie(const QByteArray& name) const
{
    for (const auto& [n, v] : headers) {
        if (n != "cookie")
            continue;
        for (const QByteArray& c : v.split(';')) {
            const QByteArray t = c.trimmed();
            const qsizetype eq = t.indexOf('=');
            if (eq > 0 && t.left(eq) == name)
                return t.mid(eq + 1);
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> HttpRequest::bearer() const
{
    const QByteArray a = header("authorization");
    if (a.size() > 7 && a.left(7).toLower() == "bearer ")
        return a.mid(7).trimmed();
    return std::nullopt;
}

std::optional<HttpRequest> ParseRequestHead(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.first().trimmed().split(' ');
    if (first.size() != 3 || !first[2].startsWith("HTTP/1.") || first[0].isEmpty() ||
        !first[1].startsWith('/'))
        return std::nullopt;
    HttpRequest r;
    r.method = first[0];
    const qsizetype q = first[1].indexOf('?');
    r.path = q < 0 ? first[1] : first[1].left(q);
    r.query = q < 0 ? QByteArray() : first[1].mid(q + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        // Folded lines and names with blanks are how requests get smuggled.
        if (colon <= 0 || line.front() == ' ' || line.front() == '\t' ||
            line.left(colon).contains(' '))
            return std::nullopt;
        r.headers.append({line.left(colon).toLower(), line.mid(colon + 1).trimmed()});
    }
    return r;
}

bool SameSecret(const QByteArray& a, const QByteArray& b)
{
    unsigned diff = a.size() == b.size() ? 0u : 1u;
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
        const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
        diff |= static_cast<unsigned>(x ^ y);
    }
    return diff == 0;
}
