#include "platform/gnome/GnomeTypingBackend.h"

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
    : RoutedTypingBackend(std::move(x11), QStringLiteral("GnomeTypingBackend"), parent)
    , m_link(std::move(link))
    , m_clipboard(mutterReadsOfEachOffer)
    , m_keystroke(std::make_unique<GnomePasteKeystroke>(*m_link, m_clipboard))
    , m_paste(m_clipboard, *m_keystroke) {
    follow(m_paste);
}

GnomeTypingBackend::~GnomeTypingBackend() = default;

UserText GnomeTypingBackend::waysUnavailable() const {
    return m_link->isClaimed() ? UserText() : x11().unavailableReason();
}

void GnomeTypingBackend::send(const QString& text) {
    // Without the extension only X11 programs can be reached; the launch check has said so.
    if (!m_link->isClaimed())
        return typeOnX11(text);
    m_link->commit(
        text, [self = QPointer(this), text](std::optional<GnomeShellLink::Route> route, const QString& why) {
            if (!self || self->isClosed())
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
