#include "settings/BulletPointRow.h"

#include <QHBoxLayout>
#include <QLabel>

BulletPointRow::BulletPointRow(QWidget* parent)
    : QWidget(parent)
    , m_bullet(new QLabel(QStringLiteral("\u2022"), this))
    , m_text(new QLabel(this)) {
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_bullet->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_bullet->setAccessibleName(QString());

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(6);
    line->addWidget(m_bullet, 0, Qt::AlignTop);
    line->addWidget(m_text, 1, Qt::AlignTop);
}

void BulletPointRow::setText(const QString& text) {
    m_text->setText(text);
}

QString BulletPointRow::text() const {
    return m_text->text();
}
