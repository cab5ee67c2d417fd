// What any program of the user may send over the instance socket, and what a
// `runeboard` reads back: the server's framing of the request line, and the
// decoding of requests and replies. Beyond not crashing, framing must find
// exactly the first line within the limit, whatever decodes must survive
// being encoded and decoded again unchanged, and any text to type (the same
// bytes read as UTF-8 and as UTF-16) must cross the wire as one line, intact.
#include "app/InstanceProtocol.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
void check(bool condition) {
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray received = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = received.indexOf('\n');
    const bool lineWithinLimit = newline >= 0 && newline < AppRequest::maximumLineBytes;
    const AppRequest::Framing framing = AppRequest::frame(received);
    using Kind = AppRequest::Framing::Kind;
    check((framing.kind == Kind::Complete) == lineWithinLimit);
    check(framing.kind != Kind::Complete || framing.length == newline + 1);
    check(framing.kind != Kind::TooLong || received.size() >= AppRequest::maximumLineBytes);

    const QByteArray line = framing.kind == Kind::Complete ? received.left(framing.length) : received;
    if (const std::optional<AppRequest> request = AppRequest::decode(line)) {
        const QByteArray again = request->encode();
        check(again.endsWith('\n') && again.count('\n') == 1);
        const std::optional<AppRequest> back = AppRequest::decode(again);
        check(back && *back == *request);
    }
    if (const std::optional<AppReply> reply = AppReply::decode(line)) {
        const std::optional<AppReply> back = AppReply::decode(reply->encode());
        check(back && *back == *reply);
    }

    QString utf16(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(utf16.data(), data, size / 2 * 2);
    for (const QString& text : {QString::fromUtf8(received), utf16}) {
        AppRequest typed;
        typed.command = AppRequest::Command::Type;
        typed.text = text;
        const QByteArray wire = typed.encode();
        const AppRequest::Framing framed = AppRequest::frame(wire);
        check(framed.kind == Kind::Complete && framed.length == wire.size());
        const std::optional<AppRequest> back = AppRequest::decode(wire);
        check(back && *back == typed);
    }
    return 0;
}
