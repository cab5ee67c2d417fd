#include "platform/kde/KdeTypingBackend.h"

#include "platform/kde/InputMethodLink.h"
#include "platform/kde/KwinConnection.h"

#include <utility>

KdeTypingBackend::KdeTypingBackend(std::unique_ptr<KwinConnection> connection,
                                   std::unique_ptr<TypingBackend> x11, std::function<bool()> x11Focused,
                                   std::unique_ptr<InputMethodLink> inputMethod, QObject* parent)
    : RoutedTypingBackend(std::move(x11), QStringLiteral("KdeTypingBackend"), parent)
    , m_connection(std::move(connection))
    , m_x11Focused(std::move(x11Focused))
    , m_clipboard(*m_connection)
    , m_activeWindow(QDBusConnection::sessionBus())
    , m_keystroke(*m_connection, m_activeWindow)
    , m_paste(m_clipboard, m_keystroke)
    , m_inputMethod(std::move(inputMethod)) {
    follow(m_paste);
    if (m_inputMethod)
        connect(m_inputMethod.get(), &InputMethodLink::answered, this, &KdeTypingBackend::committed);
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
    if (m_inputMethod && m_inputMethod->isConnected()) {
        m_committing = text;
        return m_inputMethod->commit(text); // it says whether a field took it
    }
    paste(text);
}

void KdeTypingBackend::committed(InputMethodService::Outcome outcome) {
    const QString text = std::exchange(m_committing, QString());
    if (isClosed())
        return;
    switch (outcome) {
    case InputMethodService::Outcome::Typed:
        return settle();
    case InputMethodService::Outcome::NoField:
        return paste(text); // no text field has the focus: a window without one may still take a paste
    case InputMethodService::Outcome::Unsure:
        report(text, QStringLiteral("the text field lost the focus while Plasma's virtual keyboard typed "
                                    "into it; the text may not have arrived"));
        return settle();
    case InputMethodService::Outcome::Lost:
        // Sending it again another way could type it twice.
        report(text, QStringLiteral("Plasma's virtual keyboard went away while it typed; the text may "
                                    "not have arrived"));
        return settle();
    }
}

void KdeTypingBackend::paste(const QString& text) {
    if (m_connection->hasFakeInput() && m_clipboard.isAvailable())
        return m_paste.paste(text); // settles when the queue is idle
    // The launch check has said why; each symbol that cannot go is said too.
    report(text, m_connection->hasFakeInput()
                     ? QStringLiteral("KWin offers Runeboard no clipboard (data-control)")
                     : QStringLiteral("KWin does not let Runeboard press keys: no installed desktop "
                                      "file names this program"));
    settle();
}
