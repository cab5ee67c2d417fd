#include "platform/kde/KwinInputMethod.h"

#include "platform/waylandclient/WaylandEventPump.h"

#include <QTextBoundaryFinder>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

#include "input-method-unstable-v1-client-protocol.h"

namespace {
// KWin ends a field's context and opens a new one when the program enables its text input again
// (seen 10 ms apart as a Qt line edit took the focus under load). A request in between waits this
// long for the new context rather than going by paste.
constexpr qint64 reactivationGraceMs = 300;

// What a context says that a committer does not need.
void ignoreSurrounding(void*, zwp_input_method_context_v1*, const char*, uint32_t, uint32_t) {}
void ignoreReset(void*, zwp_input_method_context_v1*) {}
void ignoreContentType(void*, zwp_input_method_context_v1*, uint32_t, uint32_t) {}
void ignoreAction(void*, zwp_input_method_context_v1*, uint32_t, uint32_t) {}
void ignoreLanguage(void*, zwp_input_method_context_v1*, const char*) {}
} // namespace

KwinInputMethod::KwinInputMethod(wl_display* display)
    : m_display(display) {}

KwinInputMethod::~KwinInputMethod() {
    m_pump.reset(); // its notifiers go before the socket they watch
    if (m_context)
        zwp_input_method_context_v1_destroy(m_context);
    if (m_method)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_method));
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

std::unique_ptr<KwinInputMethod> KwinInputMethod::open(QString* problem) {
    // KWin passes its end of the connection in WAYLAND_SOCKET, which this takes (and unsets).
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        *problem = QStringLiteral("cannot connect to the Wayland compositor: %1")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    std::unique_ptr<KwinInputMethod> method(new KwinInputMethod(display));
    static const wl_registry_listener listener{&KwinInputMethod::onGlobal, &KwinInputMethod::onGlobalRemove};
    method->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(method->m_registry, &listener, method.get());
    if (wl_display_roundtrip(display) < 0 || !method->m_method) {
        *problem = QStringLiteral("the compositor offers no input method to this process; KWin starts "
                                  "it when Runeboard is chosen in System Settings → Virtual Keyboard");
        return nullptr;
    }
    method->m_pump = std::make_unique<WaylandEventPump>(
        display, QStringLiteral("[KwinInputMethod] KWin closed the input method's connection: %1"));
    connect(method->m_pump.get(), &WaylandEventPump::broken, method.get(), &KwinInputMethod::broken);
    return method;
}

void KwinInputMethod::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                               uint32_t) {
    auto* self = static_cast<KwinInputMethod*>(data);
    if (std::strcmp(interface, zwp_input_method_v1_interface.name) != 0 || self->m_method)
        return;
    self->m_method = static_cast<zwp_input_method_v1*>(
        wl_registry_bind(registry, name, &zwp_input_method_v1_interface, 1));
    static const zwp_input_method_v1_listener listener{&KwinInputMethod::onActivate,
                                                       &KwinInputMethod::onDeactivate};
    zwp_input_method_v1_add_listener(self->m_method, &listener, self);
}

void KwinInputMethod::onGlobalRemove(void*, wl_registry*, uint32_t) {}

void KwinInputMethod::onActivate(void* data, zwp_input_method_v1*, zwp_input_method_context_v1* context) {
    auto* self = static_cast<KwinInputMethod*>(data);
    static const zwp_input_method_context_v1_listener listener{
        ignoreSurrounding, ignoreReset, ignoreContentType, ignoreAction, &KwinInputMethod::onCommitState,
        ignoreLanguage};
    zwp_input_method_context_v1_add_listener(context, &listener, self);
    // KWin deactivates the old context first; one it did not is of no use any more either.
    if (self->m_context)
        zwp_input_method_context_v1_destroy(self->m_context);
    self->m_context = context;
    self->m_serial = 0;
    ++self->m_focusChanges;
}

void KwinInputMethod::onDeactivate(void* data, zwp_input_method_v1*, zwp_input_method_context_v1* context) {
    auto* self = static_cast<KwinInputMethod*>(data);
    // A context replaced by a newer activation is destroyed already.
    if (context != self->m_context)
        return;
    zwp_input_method_context_v1_destroy(context);
    self->m_context = nullptr;
    ++self->m_focusChanges;
    self->m_sinceDeactivation.start();
}

void KwinInputMethod::onCommitState(void* data, zwp_input_method_context_v1* context, uint32_t serial) {
    auto* self = static_cast<KwinInputMethod*>(data);
    if (context == self->m_context)
        self->m_serial = serial;
}

QList<QByteArray> KwinInputMethod::pieces(const QString& text, qsizetype maximumBytes) {
    QList<QByteArray> result;
    QByteArray piece;
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    const auto add = [&](const QByteArray& part) {
        if (piece.size() + part.size() > maximumBytes && !piece.isEmpty())
            result.append(std::exchange(piece, QByteArray()));
        piece += part;
    };
    while (start < text.size()) {
        const qsizetype end = boundaries.toNextBoundary();
        const QStringView cluster = QStringView(text).mid(start, end - start);
        if (cluster.toUtf8().size() <= maximumBytes) {
            add(cluster.toUtf8());
        } else {
            // An absurdly long cluster (a letter with hundreds of marks) goes by code points.
            for (qsizetype i = 0; i < cluster.size(); ++i) {
                const bool pair = cluster[i].isHighSurrogate() && i + 1 < cluster.size();
                add(cluster.mid(i, pair ? 2 : 1).toUtf8());
                i += pair ? 1 : 0;
            }
        }
        start = end;
    }
    if (!piece.isEmpty())
        result.append(piece);
    return result;
}

InputMethodService::Outcome KwinInputMethod::commit(const QString& text) {
    // Whatever KWin said before this request arrived, such as a field taking the focus, counts.
    if (!m_pump->roundtrip())
        return InputMethodService::Outcome::Lost;
    while (!m_context && m_sinceDeactivation.isValid() &&
           m_sinceDeactivation.elapsed() < reactivationGraceMs) {
        pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
        ::poll(&readable, 1, int(reactivationGraceMs - m_sinceDeactivation.elapsed()));
        if (!m_pump->roundtrip())
            return InputMethodService::Outcome::Lost;
    }
    if (!m_context)
        return InputMethodService::Outcome::NoField;
    const quint64 focus = m_focusChanges;
    // Well below the 4 KiB a message may hold, with room for KWin to pass it on.
    for (const QByteArray& piece : pieces(text, 2048))
        zwp_input_method_context_v1_commit_string(m_context, m_serial, piece.constData());
    if (!m_pump->roundtrip())
        return InputMethodService::Outcome::Lost;
    // A field that lost the focus meanwhile may or may not have taken the text.
    return m_focusChanges == focus ? InputMethodService::Outcome::Typed : InputMethodService::Outcome::Unsure;
}
