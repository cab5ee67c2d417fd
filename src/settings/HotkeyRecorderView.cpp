#include "settings/HotkeyRecorderView.h"

#include "hotkeys/KeyTable.h"
#include "settings/controls/SemanticColors.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <linux/input-event-codes.h>

namespace {

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

// The physical key, from the X keycode (evdev + 8) the event carries, the
// layout playing no part; nothing for a key no combination may use.
std::optional<PhysicalKey> physicalKey(const QKeyEvent* event) {
    const quint32 xKeycode = event->nativeScanCode();
    if (xKeycode < 8 || !KeyTable::isRecordable(xKeycode - 8))
        return std::nullopt;
    return xKeycode - 8;
}

} // namespace

HotkeyRecorderView::HotkeyRecorderView(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(fixedWidth, fixedHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    updateAccessibleName();
}

void HotkeyRecorderView::setHotkey(const Hotkey& hotkey) {
    if (m_hotkey == hotkey)
        return;
    m_hotkey = hotkey;
    updateAccessibleName();
    update();
}

void HotkeyRecorderView::setPlaceholder(const QString& placeholder) {
    if (m_placeholder == placeholder)
        return;
    m_placeholder = placeholder;
    updateAccessibleName();
    update();
}

QString HotkeyRecorderView::shownText() const {
    if (m_isRecording)
        return m_placeholder;
    return KeyTable::displayText(m_hotkey);
}

void HotkeyRecorderView::setRecording(bool recording) {
    if (m_isRecording == recording)
        return;
    m_isRecording = recording;
    updateAccessibleName();
    update();
    Q_EMIT isRecordingChanged(recording);
}

void HotkeyRecorderView::report(const Hotkey& hotkey) {
    // Whoever owns the binding saves and re-registers; that must not happen
    // inside the key event.
    QTimer::singleShot(0, this, [this, hotkey] { Q_EMIT recorded(hotkey); });
}

QFont HotkeyRecorderView::textFont() const {
    QFont medium = font();
    medium.setWeight(QFont::Medium);
    return medium;
}

void HotkeyRecorderView::updateAccessibleName() {
    const QString text = shownText();
    setAccessibleName(text);
    // Spelled out, a long combination ("Ctrl+Alt+Shift+Super+F12") is cut short in 140 points; the tip shows
    // it whole.
    setToolTip(QFontMetrics(textFont()).horizontalAdvance(text) > fixedWidth - 8 ? text : QString());
}

bool HotkeyRecorderView::event(QEvent* event) {
    if (m_isRecording) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Application shortcuts must not take the combination being recorded.
            event->accept();
            return true;
        case QEvent::KeyPress:
            // Tab and Shift+Tab would otherwise move the focus before we see them.
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void HotkeyRecorderView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (!m_isRecording) {
        setRecording(true);
        setFocus(Qt::MouseFocusReason);
    } else {
        setRecording(false);
    }
}

void HotkeyRecorderView::keyPressEvent(QKeyEvent* event) {
    if (!m_isRecording) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (isModifierKey(event->key()))
        return;
    const std::optional<PhysicalKey> key = physicalKey(event);
    const bool clears = key ? (*key == KEY_ESC || *key == KEY_BACKSPACE)
                            : (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Backspace);
    if (clears) {
        m_hotkey = Hotkey{};
        report(m_hotkey);
        setRecording(false);
        return;
    }

    const Hotkey pressed{key.value_or(0), KeyTable::fromQt(event->modifiers())};
    if (!key || !(pressed.modifiers & Hotkey::requiredModifiers))
        return; // keep waiting for a usable combination
    m_hotkey = pressed;
    report(m_hotkey);
    setRecording(false);
}

void HotkeyRecorderView::keyReleaseEvent(QKeyEvent* event) {
    if (m_isRecording)
        event->accept();
    else
        QWidget::keyReleaseEvent(event);
}

void HotkeyRecorderView::focusOutEvent(QFocusEvent* event) {
    setRecording(false);
    QWidget::focusOutEvent(event);
}

void HotkeyRecorderView::changeEvent(QEvent* event) {
    // A hidden or disabled field cannot be recording: nothing would ever end it.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        setRecording(false);
    if (event->type() == QEvent::FontChange)
        updateAccessibleName();
    QWidget::changeEvent(event);
}

void HotkeyRecorderView::hideEvent(QHideEvent* event) {
    setRecording(false);
    QWidget::hideEvent(event);
}

void HotkeyRecorderView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();

    const qreal lineWidth = m_isRecording ? 2.0 : 1.0;
    // Inset by one point, then by half the line so the stroke stays inside and sharp.
    const QRectF frame = QRectF(rect())
                             .adjusted(1, 1, -1, -1)
                             .adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    QPainterPath path;
    path.addRoundedRect(frame, 6, 6);
    painter.fillPath(path, m_isRecording ? SemanticColors::withAlpha(SemanticColors::accent(colors), 0.15)
                                         : SemanticColors::controlBackground(colors));
    painter.setPen(
        QPen(m_isRecording ? SemanticColors::accent(colors) : SemanticColors::separator(colors), lineWidth));
    painter.drawPath(path);

    QColor textColor;
    if (m_isRecording)
        textColor = SemanticColors::secondaryLabel(colors);
    else if (!m_hotkey.isEmpty())
        textColor = SemanticColors::label(colors);
    else
        textColor = SemanticColors::tertiaryLabel(colors);
    painter.setFont(textFont());
    painter.setPen(textColor);
    const QString text = QFontMetrics(textFont()).elidedText(shownText(), Qt::ElideRight, width() - 8);
    painter.drawText(rect(), Qt::AlignCenter, text);
}
