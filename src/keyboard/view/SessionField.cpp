#include "SessionField.h"

#include "keyboard/view/EditSession.h"
#include "keyboard/view/EditorField.h"

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

void SessionField::open() {
    m_field = new EditorField(&m_host);
    m_field->setPixelSize(m_pixelSize);
    if (m_placeholder)
        m_field->setPlaceholderText(m_placeholder());
    EditSession& session = m_session;
    QObject::connect(m_field, &QLineEdit::textChanged, &m_host,
                     [&session](const QString& text) { session.edit(text); });
    QObject::connect(m_field, &EditorField::confirmed, &m_host, [&session] { session.commit(); });
    QObject::connect(m_field, &EditorField::cancelled, &m_host, [&session] { session.cancel(); });
    m_field->show();
}

void SessionField::close() {
    // It may be the sender of the key press that closes it.
    if (m_field) {
        m_field->hide();
        m_field->deleteLater();
    }
    m_field = nullptr;
}

void SessionField::place(const QRectF& rect, qreal pixelSize) {
    m_pixelSize = pixelSize;
    if (!m_field)
        return;
    m_field->setVisible(!rect.isEmpty());
    m_field->setGeometry(rect.toAlignedRect());
    m_field->setPixelSize(pixelSize);
}
