#include "settings/NameBlock.h"

#include "settings/controls/SemanticColors.h"
#include "settings/controls/TextStyles.h"

#include <QPainter>

namespace {
constexpr int lineGap = 2;
} // namespace

NameBlock::NameBlock(QWidget* parent)
    : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QFont NameBlock::captionFont() const {
    return TextStyles::caption(font());
}

void NameBlock::setLines(const QString& name, const QString& characters) {
    if (text() == name && m_characters == characters)
        return;
    setText(name);
    m_characters = characters;
    setAccessibleName(name);
    setAccessibleDescription(characters);
    update();
}

QSize NameBlock::sizeHint() const {
    const QFontMetrics body = fontMetrics();
    const QFontMetrics caption(captionFont());
    return {qMax(body.horizontalAdvance(text()), 60), body.height() + lineGap + caption.height()};
}

QSize NameBlock::minimumSizeHint() const {
    return {40, sizeHint().height()};
}

void NameBlock::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    const QFontMetrics body = fontMetrics();
    const QFont caption = captionFont();
    const QFontMetrics captionMetrics(caption);
    const int top = (height() - sizeHint().height()) / 2;

    if (isDown() || hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(SemanticColors::withAlpha(SemanticColors::label(colors), isDown() ? 0.1 : 0.05));
        painter.drawRoundedRect(QRectF(rect()), 4, 4);
    }

    painter.setPen(SemanticColors::label(colors));
    painter.drawText(QRect(0, top, width(), body.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     body.elidedText(text(), Qt::ElideRight, width()));

    painter.setFont(caption);
    painter.setPen(SemanticColors::secondaryLabel(colors));
    // The U+001F separators of custom symbols are invisible controls; they must not show as boxes.
    QString line = m_characters;
    line.remove(QChar(0x1F));
    painter.drawText(QRect(0, top + body.height() + lineGap, width(), captionMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     captionMetrics.elidedText(line, Qt::ElideRight, width()));
}
