// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpRequest.h"

namespace {
bool IsTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool IsToken(const QByteArray& s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), IsTokenChar);
}

// Field values and targets: visible characters, blanks and anything past
// ASCII; never a control character.
bool IsFieldText(const QByteArray& s, bool blanks)
{
    return std::all_of(s.begin(), s.end(), [blanks](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 ? u != 0x7f : blanks && (c == ' ' || c == '\t');
    });
}

QByteArray TrimBlanks(const QByteArray& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}

ParsedHead Refusal(int status, const char* why)
{
    return {std::nullopt, status, why};
}
} // namespace

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

bool HttpRequest::hasToken(const QByteArray& name, const QByteArray& token) const
{
    for (const auto& [n, v] : headers)
        if (n == name)
            for (const QByteArray& t : v.split(','))
                if (TrimBlanks(t).toLower() == token)
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

bool HttpRequest::isWebSocketUpgrade() const
{
    return hasToken("upgrade", "websocket");
}

qsizetype HeadLength(const QByteArray& data)
{
    for (qsizetype i = data.indexOf('\n'); i >= 0; i = data.indexOf('\n', i + 1)) {
        if (i + 1 < data.size() && data[i + 1] == '\n')
            return i + 2;
        if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

ParsedHead ParseRequestHead(const QByteArray& head)
{
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\r'))
            return Refusal(400, "bare CR in the head");
    }
    // A blank line or two before a request is left over from the one before.
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    if (lines.isEmpty())
        return Refusal(400, "malformed request line");
    const QList<QByteArray> first = lines.first().split(' ');
    if (first.size() != 3 || !IsToken(first[0]) || !first[1].startsWith('/') ||
        !IsFieldText(first[1], false) || (first[2] != "HTTP/1.1" && first[2] != "HTTP/1.0"))
        return Refusal(400, "malformed request line");
    HttpRequest r;
    r.method = first[0];
    const qsizetype q = first[1].indexOf('?');
    r.path = q < 0 ? first[1] : first[1].left(q);
    r.query = q < 0 ? QByteArray() : first[1].mid(q + 1);
    int hosts = 0, lengths = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        // Folded lines and names with blanks are how requests get smuggled.
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = TrimBlanks(line.mid(colon + 1));
        if (colon <= 0 || !IsToken(name) || !IsFieldText(value, true))
            return Refusal(400, "malformed header field");
        if (name == "host")
            ++hosts;
        if (name == "content-length") {
            ++lengths;
            // Plain digits only: "+3", "0x3", "3 3" and "" frame differently elsewhere.
            if (value.isEmpty() || value.size() > 15 ||
                !std::all_of(value.begin(), value.end(),
                             [](char c) { return c >= '0' && c <= '9'; }))
                return Refusal(400, "bad Content-Length");
            r.contentLength = value.toLongLong();
        }
        if (name == "transfer-encoding")
            return Refusal(501, "Transfer-Encoding is not supported; send a Content-Length");
        r.headers.append({name, value});
    }
    if (hosts > 1 || (hosts == 0 && first[2] == "HTTP/1.1"))
        return Refusal(400, "one Host field needed");
    if (lengths > 1)
        return Refusal(400, "bad Content-Length");
    r.keepAlive = first[2] == "HTTP/1.1" ? !r.hasToken("connection", "close")
                                         : r.hasToken("connection", "keep-alive");
    return {r, 0, ""};
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
