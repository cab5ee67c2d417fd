#include "platform/kde/KdeTypingBackend.h"

#include "platform/kde/KwinConnection.h"

#include <utility>

KdeTypingBackend::KdeTypingBackend(std::unique_ptr<KwinConnection> connection,
                                   std::unique_ptr<TypingBackend> x11, std::function<bool()> x11Focused,
                                   QObject* parent)
    : RoutedTypingBackend(std::move(x11), QStringLiteral("KdeTypingBackend"), parent)
    , m_connection(std::move(connection))
    , m_x11Focused(std::move(x11Focused))
    , m_clipboard(*m_connection)
    , m_keystroke(*m_connection)
    , m_paste(m_clipboard, m_keystroke) {
    follow(m_paste);
}

KdeTypingBackend::~KdeTypingBackend() = default;

UserText KdeTypingBackend::waysUnavailable() const {
    if (m_connection->isBroken())
        return {QStringLiteral("typing_wayland_connection_broken")};
    return {};
}

void KdeTypingBackend::send(const QString& text) {
    if (m_x11Focused())
        return typeOnX11(text);
    if (m_connection->hasFakeInput() && m_clipboard.isAvailable())
        return m_paste.paste(text); // settles when the queue is idle
    // The launch check has said why; each symbol that cannot go is said too.
    report(text, m_connection->hasFakeInput()
                     ? QStringLiteral("KWin offers Runeboard no clipboard (data-control)")
                     : QStringLiteral("KWin does not let Runeboard press keys: no installed desktop "
                                      "file names this program"));
    settle();
}
