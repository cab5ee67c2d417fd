#include "updates/WebAddress.h"

#include <QUrl>

namespace WebAddress {

bool isWebAddress(const QUrl& url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

} // namespace WebAddress
