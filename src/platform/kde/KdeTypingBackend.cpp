#include "platform/kde/KdeTypingBackend.h"

#include "platform/Log.h"
#include "platform/kde/KwinConnection.h"

#include <utility>

KdeTypingBackend::KdeTypingBackend(std::unique_ptr<KwinConnection> connection,
                                   std::unique_ptr<TypingBackend> x11, std::function<bool()> x11Focused,
                                   QObject* parent)
    : TypingBackend(parent)
    , m_connection(std::move(connection))
    , m_x11(std::move(x11))
    , m_x11Focused(std::move(x11Focused))
    , m_clipboard(*m_connection)
    , m_keystroke(*m_connection)
    , m_paste(m_clipboard, m_keystroke) {
    connect(&m_paste, &PasteQueue::failed, this, &KdeTypingBackend::report);
    connect(&m_paste, &PasteQueue::idle, this, &KdeTypingBackend::settle);
    connect(m_x11.get(), &TypingBackend::deliveryFailed, this, &TypingBackend::deliveryFailed);
    connect(m_x11.get(), &TypingBackend::idle, this, [this] {
        if (std::exchange(m_onX11, false))
            settle();
    });
}

KdeTypingBackend::~KdeTypingBackend() = default;

UserText KdeTypingBackend::unavailableReason() const {
    if (m_closed)
        return {QStringLiteral("typing_stopped")};
    if (m_connection->isBroken())
        return {QStringLiteral("typing_wayland_connection_broken")};
    return {};
}

bool KdeTypingBackend::type(const QString& text) {
    if (!unavailableReason().isEmpty())
        return false;
    m_waiting += text;
    sendNext();
    return true;
}

void KdeTypingBackend::sendNext() {
    if (m_busy || m_waiting.isEmpty() || m_closed)
        return;
    m_busy = true;
    const QString text = std::exchange(m_waiting, QString());
    if (!m_x11Focused()) {
        if (m_connection->hasFakeInput() && m_clipboard.isAvailable())
            return m_paste.paste(text); // settles when the queue is idle
        // The launch check has said why; each symbol that cannot go is said too.
        report(text, m_connection->hasFakeInput()
                         ? QStringLiteral("KWin offers Runeboard no clipboard (data-control)")
                         : QStringLiteral("KWin does not let Runeboard press keys: no installed desktop "
                                          "file names this program"));
        return settle();
    }
    m_onX11 = true;
    if (!m_x11->type(text)) {
        m_onX11 = false;
        report(text, QStringLiteral(
                         "the focused window is an X11 one, and Runeboard's X11 typing does not work here"));
        return settle();
    }
    if (m_x11->isIdle() && std::exchange(m_onX11, false))
        settle();
}

void KdeTypingBackend::report(const QString& text, const QString& why) {
    Log::line(QStringLiteral("[KdeTypingBackend] Cannot type \"%1\": %2").arg(text, why));
    Q_EMIT deliveryFailed(text, why);
}

void KdeTypingBackend::settle() {
    m_busy = false;
    if (m_closed)
        return;
    if (m_waiting.isEmpty())
        Q_EMIT idle();
    else
        sendNext();
}

void KdeTypingBackend::restoreSystem() {
    m_closed = true;
    m_waiting.clear();
    m_busy = false;
    m_paste.finish();
    connect(m_x11.get(), &TypingBackend::restored, this, &TypingBackend::restored, Qt::SingleShotConnection);
    m_x11->restoreSystem();
}
