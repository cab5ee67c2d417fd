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

QString GnomeTypingBackend::unavailableReason() const {
    if (m_closed)
        return QStringLiteral("Runeboard is quitting.");
    return m_link->isClaimed() ? QString() : m_x11->unavailableReason();
}

bool GnomeTypingBackend::type(const QString& text) {
    if (!unavailableReason().isEmpty())
        return false;
    m_waiting += text;
    sendNext();
    return true;
}

// The key-by-key interface of the moment: a piece of text is gathered and typed whole at close().
bool GnomeTypingBackend::open() {
    m_piece.clear();
    return unavailableReason().isEmpty();
}

bool GnomeTypingBackend::keyDown(char32_t scalar) {
    m_piece += QString::fromUcs4(&scalar, 1);
    return true;
}

bool GnomeTypingBackend::keyUp(char32_t) {
    return true;
}

void GnomeTypingBackend::close() {
    const QString piece = std::exchange(m_piece, QString());
    if (!piece.isEmpty() && !type(piece))
        report(piece, unavailableReason());
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
    if (const QString why = m_x11->unavailableReason(); !why.isEmpty()) {
        report(text, why);
        return settle();
    }
    m_onX11 = true;
    m_x11->open();
    for (const char32_t scalar : text.toUcs4()) {
        if (!m_x11->keyDown(scalar) || !m_x11->keyUp(scalar))
            Q_EMIT deliveryFailed(scalar);
    }
    m_x11->close();
    if (m_x11->isIdle() && std::exchange(m_onX11, false))
        settle();
}

void GnomeTypingBackend::report(const QString& text, const QString& why) {
    Log::line(QStringLiteral("[GnomeTypingBackend] Cannot type \"%1\": %2").arg(text, why));
    for (const char32_t scalar : text.toUcs4())
        Q_EMIT deliveryFailed(scalar);
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
