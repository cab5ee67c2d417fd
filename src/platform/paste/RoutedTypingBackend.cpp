#include "platform/paste/RoutedTypingBackend.h"

#include "platform/Log.h"
#include "platform/paste/PasteQueue.h"

#include <memory>
#include <utility>

RoutedTypingBackend::RoutedTypingBackend(std::unique_ptr<TypingBackend> x11, QString name, QObject* parent)
    : TypingBackend(parent)
    , m_x11(std::move(x11))
    , m_name(std::move(name)) {
    connect(m_x11.get(), &TypingBackend::deliveryFailed, this, &TypingBackend::deliveryFailed);
    connect(m_x11.get(), &TypingBackend::idle, this, [this] {
        if (std::exchange(m_onX11, false))
            settle();
    });
}

RoutedTypingBackend::~RoutedTypingBackend() = default;

void RoutedTypingBackend::follow(PasteQueue& paste) {
    m_paste = &paste;
    connect(&paste, &PasteQueue::failed, this, &RoutedTypingBackend::report);
    connect(&paste, &PasteQueue::idle, this, &RoutedTypingBackend::settle);
}

UserText RoutedTypingBackend::unavailableReason() const {
    if (m_closed)
        return {QStringLiteral("typing_stopped")};
    return waysUnavailable();
}

bool RoutedTypingBackend::type(const QString& text) {
    if (!unavailableReason().isEmpty())
        return false;
    m_waiting += text;
    sendNext();
    return true;
}

void RoutedTypingBackend::sendNext() {
    if (m_busy || m_waiting.isEmpty() || m_closed)
        return;
    m_busy = true;
    send(std::exchange(m_waiting, QString()));
}

void RoutedTypingBackend::typeOnX11(const QString& text) {
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

void RoutedTypingBackend::report(const QString& text, const QString& why) {
    Log::line(QStringLiteral("[%1] Cannot type \"%2\": %3").arg(m_name, text, why));
    Q_EMIT deliveryFailed(text, why);
}

void RoutedTypingBackend::settle() {
    m_busy = false;
    if (m_closed)
        return;
    if (m_waiting.isEmpty())
        Q_EMIT idle();
    else
        sendNext();
}

void RoutedTypingBackend::restoreSystem() {
    m_closed = true;
    m_waiting.clear();
    m_busy = false;
    // Restored once the X11 engine and the paste queue both are.
    auto pending = std::make_shared<int>(m_paste ? 2 : 1);
    const auto oneDone = [this, pending] {
        if (--*pending == 0)
            Q_EMIT restored();
    };
    connect(m_x11.get(), &TypingBackend::restored, this, oneDone, Qt::SingleShotConnection);
    if (m_paste) {
        connect(m_paste, &PasteQueue::finished, this, oneDone, Qt::SingleShotConnection);
        m_paste->finish();
    }
    m_x11->restoreSystem();
}
