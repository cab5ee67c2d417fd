#include "updates/AppcastFeed.h"

#include "updates/VersionNumber.h"
#include "updates/WebAddress.h"

#include <QXmlStreamReader>

namespace AppcastFeed {

namespace {

const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool isSparkle(const QStringView namespaceUri, const QStringView prefix) {
    return namespaceUri == sparkleNamespace || prefix == QLatin1String("sparkle");
}

// What one <item> says about itself.
struct Item {
    QString version;
    QString shortVersion;
    QUrl link;
    QUrl enclosure;

    void readEnclosure(const QXmlStreamAttributes& attributes, const QUrl& feedURL) {
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (!isSparkle(attribute.namespaceUri(), attribute.prefix())) {
                if (attribute.name() == QLatin1String("url"))
                    enclosure = feedURL.resolved(QUrl(attribute.value().trimmed().toString()));
                continue;
            }
            if (attribute.name() == QLatin1String("version") && version.isEmpty())
                version = attribute.value().trimmed().toString();
            else if (attribute.name() == QLatin1String("shortVersionString") && shortVersion.isEmpty())
                shortVersion = attribute.value().trimmed().toString();
        }
    }
};

QUrl webAddressOrNothing(const QUrl& url) {
    return WebAddress::isWebAddress(url) ? url : QUrl();
}

} // namespace

std::optional<Entry> newestEntry(const QByteArray& feed, const QUrl& feedURL) {
    QXmlStreamReader xml(feed);
    std::optional<Entry> newest;
    std::optional<Item> item;
    QUrl channelLink;
    const auto resolved = [&feedURL](const QString& text) { return feedURL.resolved(QUrl(text.trimmed())); };

    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            const bool sparkle = isSparkle(xml.namespaceUri(), xml.prefix());
            if (name == QLatin1String("item") && !sparkle)
                item.emplace();
            else if (sparkle && name == QLatin1String("version") && item)
                item->version = xml.readElementText().trimmed();
            else if (sparkle && name == QLatin1String("shortVersionString") && item)
                item->shortVersion = xml.readElementText().trimmed();
            else if (!sparkle && name == QLatin1String("link") && xml.prefix().isEmpty())
                (item ? item->link : channelLink) = resolved(xml.readElementText());
            else if (!sparkle && name == QLatin1String("enclosure") && item)
                item->readEnclosure(xml.attributes(), feedURL);
        } else if (xml.isEndElement() && item && xml.name() == QLatin1String("item") &&
                   xml.prefix().isEmpty()) {
            // A version that is no version is markup or junk, and the whole feed is suspect.
            if ((!item->version.isEmpty() && !VersionNumber::isValid(item->version)) ||
                (!item->shortVersion.isEmpty() && !VersionNumber::isValid(item->shortVersion)))
                return std::nullopt;
            // The short version is the one people read and the one a build calls itself.
            const QString version = item->shortVersion.isEmpty() ? item->version : item->shortVersion;
            if (!version.isEmpty() && (!newest || VersionNumber::compare(version, newest->version) > 0)) {
                const QUrl link = webAddressOrNothing(item->link);
                newest = Entry{version, link.isEmpty() ? webAddressOrNothing(item->enclosure) : link};
            }
            item.reset();
        }
    }
    if (xml.hasError())
        return std::nullopt;
    if (newest && newest->link.isEmpty())
        newest->link = webAddressOrNothing(channelLink);
    return newest;
}

} // namespace AppcastFeed
