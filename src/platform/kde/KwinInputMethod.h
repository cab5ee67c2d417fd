#pragma once

#include "platform/kde/InputMethodService.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <cstdint>
#include <memory>

class WaylandEventPump;
struct wl_display;
struct wl_registry;
struct zwp_input_method_context_v1;
struct zwp_input_method_v1;

// The Wayland side of Runeboard as Plasma's virtual keyboard: the connection
// KWin hands to the process it starts (WAYLAND_SOCKET), on which KWin offers
// the input method interface to that process alone. KWin activates a context
// while a text field has the focus; text committed on it lands in that field,
// exactly, whatever the keyboard layout.
class KwinInputMethod : public QObject {
    Q_OBJECT
public:
    ~KwinInputMethod() override;

    // Null, with `problem` (one line), when KWin did not start this process as its input method.
    static std::unique_ptr<KwinInputMethod> open(QString* problem);

    // Commits `text` into the focused field and waits until KWin has handled it.
    InputMethodService::Outcome commit(const QString& text);

    // `text` in pieces of at most `maximumBytes` UTF-8 bytes each, cut between
    // characters as the user sees them where possible: a Wayland message holds
    // at most 4 KiB, and a longer one ends the connection.
    static QList<QByteArray> pieces(const QString& text, qsizetype maximumBytes);

Q_SIGNALS:
    // KWin closed the connection (the user chose another virtual keyboard, or KWin ended).
    void broken();

private:
    explicit KwinInputMethod(wl_display* display);

    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    static void onActivate(void* data, zwp_input_method_v1* method, zwp_input_method_context_v1* context);
    static void onDeactivate(void* data, zwp_input_method_v1* method, zwp_input_method_context_v1* context);
    static void onCommitState(void* data, zwp_input_method_context_v1* context, uint32_t serial);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    zwp_input_method_v1* m_method = nullptr;
    zwp_input_method_context_v1* m_context = nullptr; // the focused field's, if any
    uint32_t m_serial = 0;                            // its last commit_state
    quint64 m_focusChanges = 0;
    QElapsedTimer m_sinceDeactivation; // since KWin last ended the current field's context
    std::unique_ptr<WaylandEventPump> m_pump;
};
