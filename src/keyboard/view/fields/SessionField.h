#pragma once

#include "keyboard/view/painting/KeyboardMetrics.h"

#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>

class EditSession;
class EditorField;
class FieldWindow;
class QWidget;

// The widget of one edit session: a fresh EditorField while the session is
// open, typing into the session, its Return and Escape committing and
// cancelling it, taking the focus and the cut text when the session says. It
// lies over its face on the host, or, where the host's window can never take
// the focus, in a small window of its own, whose closing cancels; the face then
// shows the field's text, since the window manager may put the window anywhere,
// even under the panel.
class SessionField {
public:
    // `placeholder` is asked at every opening, so it follows the language.
    SessionField(EditSession& session, QWidget& host, std::function<QString()> placeholder = {});

    // From the next opening on, the field opens in a window of its own titled `title` (asked at each).
    void useOwnWindow(std::function<QString()> title);

    // Lays the field over its face (view coordinates); hidden while the face is not
    // shown. A field in its own window only takes the size.
    void place(const QRectF& rect, const KeyboardMetrics& metrics);

private:
    void open();
    void close();

    EditSession& m_session;
    QWidget& m_host;
    std::function<QString()> m_placeholder;
    std::function<QString()> m_windowTitle;
    QPointer<EditorField> m_field;
    QPointer<FieldWindow> m_window;
    QPointer<EditorField> m_overFace; // the field itself, or the copy of its text

    KeyboardMetrics m_metrics = KeyboardMetrics::forSize(KeyboardSize::Compact);
};
