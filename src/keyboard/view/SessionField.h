#pragma once

#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>

class EditSession;
class EditorField;
class QWidget;

// The widget of one edit session: a fresh EditorField over the host while the
// session is open, typing into the session, its Return and Escape committing and
// cancelling it, taking the focus and the cut text when the session says.
class SessionField {
public:
    // `placeholder` is asked at every opening, so it follows the language.
    SessionField(EditSession& session, QWidget& host, std::function<QString()> placeholder = {});

    // Lays the field over its face (view coordinates); hidden while the face is not shown.
    void place(const QRectF& rect, qreal pixelSize);

private:
    void open();
    void close();

    EditSession& m_session;
    QWidget& m_host;
    std::function<QString()> m_placeholder;
    QPointer<EditorField> m_field;
    qreal m_pixelSize = 14;
};
