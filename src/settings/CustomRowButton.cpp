#include "settings/CustomRowButton.h"

#include "settings/controls/SemanticColors.h"
#include "settings/controls/SymbolIcon.h"

#include <QPainter>

namespace {
constexpr int verticalPadding = 4;
constexpr int iconGap = 6;
} // namespace

CustomRowButton::CustomRowButton(QWidget* parent)
    : QAbstractButton(parent) {
    // Not a translation: the unsaved set is called "Custom" in every language.
    setText(QStringLiteral("Custom"));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize CustomRowButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int iconSide = metrics.height() + 2;
    return {iconSide + iconGap + metrics.horizontalAdvance(text()), iconSide + 2 * verticalPadding};
}

void CustomRowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    if (isDown() || hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(SemanticColors::withAlpha(SemanticColors::label(colors), isDown() ? 0.1 : 0.05));
        painter.drawRoundedRect(QRectF(rect()), 4, 4);
    }
    const QFontMetrics metrics = fontMetrics();
    const int iconSide = metrics.height() + 2;
    const QRectF icon(0, (height() - iconSide) / 2.0, iconSide, iconSide);
    SymbolIcon::draw(painter, SymbolIcon::Kind::PlusCircleFill, icon.adjusted(1, 1, -1, -1),
                     SemanticColors::blue(colors));
    painter.setPen(SemanticColors::label(colors));
    painter.drawText(QRect(iconSide + iconGap, 0, width() - iconSide - iconGap, height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}
