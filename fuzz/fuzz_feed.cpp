// Arbitrary bytes as an appcast feed and as version texts. The rest of the
// update check relies on what the parser promises, so a broken promise is a
// finding too: an entry whose version is no version, or whose link is no web
// page, or an order of versions that is not an order.

#include "updates/AppcastFeed.h"
#include "updates/VersionNumber.h"
#include "updates/WebAddress.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool promise) {
    if (!promise)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    static const QUrl feedURL(QStringLiteral("https://runeboard.org/updates/appcast.xml"));
    if (const auto entry = AppcastFeed::newestEntry(bytes, feedURL)) {
        require(VersionNumber::isValid(entry->version));
        require(entry->link.isEmpty() || WebAddress::isWebAddress(entry->link));
    }

    // The first line against the rest, both as a feed would name them.
    const QString text = QString::fromUtf8(bytes);
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    const QString a = lineEnd < 0 ? text : text.left(lineEnd);
    const QString b = lineEnd < 0 ? QStringLiteral("1.0") : text.mid(lineEnd + 1);
    require(!VersionNumber::isValid(a) || a.size() <= VersionNumber::maximumLength);
    const int order = VersionNumber::compare(a, b);
    require(order >= -1 && order <= 1);
    require(VersionNumber::compare(b, a) == -order);
    require(VersionNumber::compare(a, a) == 0);
    return 0;
}
