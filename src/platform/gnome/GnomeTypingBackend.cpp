#include "platform/gnome/GnomeTypingBackend.h"

#include "platform/Log.h"
#include "platform/gnome/GnomePasteKeystroke.h"
#include "platform/gnome/GnomeShellLink.h"

#include <QPointer>

#include <utility>

namespace {
// mutter keeps a copy of every new clipboard for when its owner quits, so it reads each offer once itself.
constexpr int mutterReadsOfEachOffer = 1;
} // namespace

GnomeTypingBackend::GnomeTypingBackend(std::shared_ptr<GnomeShellLink> link,
                                       std::unique_ptr<TypingBackend> x11, QObject* parent)
    : TypingBackend(parent)
    , m_link(std::move(link))
    , m_x11(std::move(x11))
    , m_clipboard(mutterReadsOfEachOffer)
    , m_keystroke(std::make_unique<GnomePasteKeystroke>(*m_link, m_clipboard))
    , m_paste(m_clipboard, *m_keystroke) {
    connect(&m_paste, &PasteQueue::failed, this, &GnomeTypingBackend::report);
    connect(&m_paste, &PasteQueue::idle, this, &GnomeTypingBackend::settle);
    connect(m_x11.get(), &TypingBackend::deliveryFailed, this, &TypingBackend::deliveryFailed);
    connect(m_x11.get(), &TypingBackend::idle, this, [this] {
        if (std::exchange(m_onX11, false))
            settle();
    });
}

GnomeTypingBackend::~GnomeTypingBackend() = default;

UserText GnomeTypingBackend::unavailableReason() const {
    if (m_closed)
        return {QStringLiteral("typing_stopped")};
    return m_link->isClaimed() ? UserText() : m_x11->unavailableReason();
}

bool GnomeTypingBackend::type(const QString& text) {
    if (!unavailableReason().isEmpty())
        return false;
    m_waiting += text;
    sendNext();
    return true;
}

void GnomeTypingBackend::sendNext() {
    if (m_busy || m_waiting.isEmpty() || m_closed)
        return;
    m_busy = true;
    const QString text = std::exchange(m_waiting, QString());
    // Without the extension only X11 programs can be reached; the launch check has said so.
    if (!m_link->isClaimed())
        return typeOnX11(text);
    m_link->commit(
        text, [self = QPointer(this), text](std::optional<GnomeShellLink::Route> route, const QString& why) {
            if (!self || self->m_closed)
                return;
            using Route = GnomeShellLink::Route;
            if (!route) {
                self->report(text, why);
                return self->settle();
            }
            switch (*route) {
            case Route::InputMethod:
                return self->settle();
            case Route::NoFocus:
                self->report(text, QStringLiteral("no window has the keyboard focus"));
                return self->settle();
            case Route::X11:
                return self->typeOnX11(text);
            case Route::Paste:
                return self->m_paste.paste(text); // settles when the queue is idle
            }
        });
}

void GnomeTypingBackend::typeOnX11(const QString& text) {
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

void GnomeTypingBackend::report(const QString& text, const QString& why) {
    Log::line(QStringLiteral("[GnomeTypingBackend] Cannot type \"%1\": %2").arg(text, why));
    Q_EMIT deliveryFailed(text, why);
}

void GnomeTypingBackend::settle() {
    m_busy = false;
    if (m_closed)
        return;
    if (m_waiting.isEmpty())
        Q_EMIT idle();
    else
        sendNext();
}

void GnomeTypingBackend::restoreSystem() {
    m_closed = true;
    m_waiting.clear();
    m_busy = false;
    m_paste.finish();
    connect(m_x11.get(), &TypingBackend::restored, this, &TypingBackend::restored, Qt::SingleShotConnection);
    m_x11->restoreSystem();
}
