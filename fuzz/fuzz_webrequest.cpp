// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever bytes a client sends, the page's server reads a head or refuses
// it with a client error, and what Decide() lets through never lacks its
// loopback host name or its token. The head's end is found the same in any
// first part of the bytes that holds it, so the server's limit on what it
// looks at gives one answer however the bytes are split into packets.
#include "Loopback.h"
#include "PageAccess.h"

#include <cstdint>
#include <cstdlib>

namespace {
const QByteArray Token = "0123456789abcdef0123456789abcdef";

void Check(bool ok)
{
    if (!ok)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype length = HeadLength(bytes);
    Check(length == -1 || (length >= 2 && length <= bytes.size()));
    for (qsizetype cut = 0; cut <= bytes.size(); cut += 1 + cut / 8) {
        const qsizetype part = HeadLength(bytes.left(cut));
        Check(length >= 0 && length <= cut ? part == length : part == -1);
    }
    const ParsedHead parsed = ParseRequestHead(length < 0 ? bytes : bytes.left(length));
    if (!parsed.request) {
        Check(parsed.status == 400 || parsed.status == 501);
        return 0;
    }
    const HttpRequest& r = *parsed.request;
    Check(!r.method.isEmpty() && r.path.startsWith('/') && r.contentLength >= 0);
    Check(!r.method.contains(' ') && !r.path.contains(' '));

    for (const bool commands : {false, true}) {
        const PageRules loopback{true, 8734, {}, {}, {"meter.example"}, commands};
        const Decision l = Decide(r, loopback);
        const QByteArray host = r.header("host").toLower();
        if (l.authorised)
            Check(IsLoopbackName(QString::fromLatin1(HostName(host).value_or(""))) ||
                  host.startsWith("meter.example"));
        if (l.route == Route::Alarm || l.route == Route::Peak)
            Check(commands && r.method == "POST" && r.hasHeader("origin"));

        const PageRules beyond{false, 8734, Token, {"192.0.2.7"}, {}, commands};
        const Decision b = Decide(r, beyond);
        if (b.authorised)
            Check(bytes.contains(Token) || QByteArray::fromPercentEncoding(bytes).contains(Token));
        Check(b.route == Route::Refused || b.authorised);
    }
    return 0;
}
