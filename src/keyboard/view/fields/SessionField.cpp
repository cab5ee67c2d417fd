#include "SessionField.h"

#include "keyboard/view/fields/EditSession.h"
#include "keyboard/view/fields/EditorField.h"
#include "keyboard/view/fields/FieldWindow.h"

SessionField::SessionField(EditSession& session, QWidget& host, std::function<QString()> placeholder)
    : m_session(session)
    , m_host(host)
    , m_placeholder(std::move(placeholder)) {
    m_session.onOpenChanged = [this](bool open) { open ? this->open() : close(); };
    m_session.onFocus = [this] {
        if (m_field)
            m_field->setFocus(Qt::OtherFocusReason);
    };
    m_session.onCut = [this](const QString& text) {
        if (m_field && m_field->text() != text)
            m_field->setText(text);
    };
}

void SessionField::useOwnWindow(std::function<QString()> title) {
    m_windowTitle = std::move(title);
}

void SessionField::open() {
    if (m_windowTitle)
        m_window = new FieldWindow(m_host, m_windowTitle());
    m_field = new EditorField(m_window ? static_cast<QWidget*>(m_window) : &m_host);
    m_overFace = m_window ? new EditorField(&m_host) : m_field.data();
    for (EditorField* field : {m_field.data(), m_overFace.data()}) {
        field->setPixelSize(m_metrics.fontSize);
        if (m_placeholder)
            field->setPlaceholderText(m_placeholder());
    }
    EditSession& session = m_session;
    QObject::connect(m_field, &QLineEdit::textChanged, &m_host,
                     [&session](const QString& text) { session.edit(text); });
    QObject::connect(m_field, &EditorField::confirmed, &m_host, [&session] { session.commit(); });
    QObject::connect(m_field, &EditorField::cancelled, &m_host, [&session] { session.cancel(); });
    if (m_window) {
        m_overFace->setReadOnly(true);
        m_overFace->setFocusPolicy(Qt::NoFocus);
        m_overFace->setAttribute(Qt::WA_TransparentForMouseEvents);
        QObject::connect(m_field, &QLineEdit::textChanged, m_overFace, &QLineEdit::setText);
        QObject::connect(m_window, &FieldWindow::closeRequested, &m_host, [&session] { session.cancel(); });
        m_window->hold(*m_field, m_metrics);
        // Typing goes to the field as soon as the window manager focuses the window.
        m_field->setFocus(Qt::OtherFocusReason);
        m_window->showBeside(QRect(m_host.mapToGlobal(QPoint()), m_host.size()));
    }
    m_overFace->show();
}

void SessionField::close() {
    // One of them may be the sender of the key press that closes it.
    for (QWidget* widget : {static_cast<QWidget*>(m_window.data()), static_cast<QWidget*>(m_overFace.data())})
        if (widget) {
            widget->hide();
            widget->deleteLater();
        }
    m_field = nullptr;
    m_window = nullptr;
    m_overFace = nullptr;
}

void SessionField::place(const QRectF& rect, const KeyboardMetrics& metrics) {
    if (m_window && m_field && metrics.keySize != m_metrics.keySize)
        m_window->hold(*m_field, metrics);
    m_metrics = metrics;
    if (!m_overFace)
        return;
    m_overFace->setVisible(!rect.isEmpty());
    m_overFace->setGeometry(rect.toAlignedRect());
    m_overFace->setPixelSize(metrics.fontSize);
}
