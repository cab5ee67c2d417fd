#include "keyboard/DeliveryWarning.h"

#include "localization/LocalizationManager.h"
#include "platform/TypingBackend.h"

#include <QPainter>

namespace {
constexpr int diameter = 16;
constexpr int inset = 3;
} // namespace

DeliveryWarning::DeliveryWarning(TypingBackend& typing, LocalizationManager& localization, QWidget& keyboard)
    : QWidget(&keyboard)
    , m_localization(localization) {
    setObjectName(QStringLiteral("deliveryWarning"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(inset, inset, diameter, diameter);
    hide();
    m_hide.setSingleShot(true);
    connect(&m_hide, &QTimer::timeout, this, &QWidget::hide);
    connect(&typing, &TypingBackend::deliveryFailed, this, &DeliveryWarning::warn);
}

void DeliveryWarning::warn(const QString&, const QString& why) {
    setAccessibleName(m_localization.localized(QStringLiteral("delivery_failed")));
    setAccessibleDescription(why);
    raise();
    show();
    m_hide.start(shownMs);
}

void DeliveryWarning::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE5, 0x39, 0x35));
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(diameter - 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("!"));
}
