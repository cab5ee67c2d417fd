#include "settings/controls/BulletPointRow.h"

#include <QHBoxLayout>
#include <QLabel>

BulletPointRow::BulletPointRow(QWidget* parent)
    : QWidget(parent)
    , m_bullet(new QLabel(QStringLiteral("\u2022"), this))
    , m_text(new QLabel(this)) {
    QSizePolicy wrapping(QSizePolicy::Expanding, QSizePolicy::Preferred);
    wrapping.setHeightForWidth(true);
    m_text->setSizePolicy(wrapping);
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_bullet->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_bullet->setAccessibleName(QString());

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(6);
    line->addWidget(m_bullet, 0, Qt::AlignTop);
    // No alignment on the text: an aligned item loses its height-for-width,
    // and a wrapped line would then be squeezed into one line's height.
    line->addWidget(m_text, 1);
}

void BulletPointRow::setText(const QString& text) {
    m_text->setText(text);
}

QString BulletPointRow::text() const {
    return m_text->text();
}
