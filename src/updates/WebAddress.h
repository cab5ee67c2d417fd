#pragma once

class QUrl;

namespace WebAddress {

// True for an absolute http or https address with a host: the only kind the
// update check fetches or hands to the browser.
bool isWebAddress(const QUrl& url);

} // namespace WebAddress
