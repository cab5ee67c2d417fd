#include "FloatingPanel.h"

#include "keyboard/PanelContent.h"
#include "platform/WindowSystem.h"
#include "storage/SettingsStore.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace {
// How much of the panel must stay on a screen for its saved place to count as visible.
constexpr int minimumVisible = 32;
// Moves come in bursts while dragging; the file is written once they settle.
constexpr int saveDelayMs = 250;

QList<QRect> screenRects() {
    QList<QRect> rects;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens)
        rects.append(screen->availableGeometry());
    return rects;
}

qint64 distanceSquared(const QPoint& point, const QRect& rect) {
    const qint64 dx = point.x() < rect.left()    ? rect.left() - point.x()
                      : point.x() > rect.right() ? point.x() - rect.right()
                                                 : 0;
    const qint64 dy = point.y() < rect.top()      ? rect.top() - point.y()
                      : point.y() > rect.bottom() ? point.y() - rect.bottom()
                                                  : 0;
    return dx * dx + dy * dy;
}
} // namespace

FloatingPanel::FloatingPanel(SettingsStore& store, WindowSystem& windowSystem)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint)
    , m_store(store)
    , m_windowSystem(windowSystem)
    , m_translucent(windowSystem.isCompositing()) {
    // Where a click would hand a managed window the focus, the panel manages itself.
    if (windowSystem.floatsUnmanaged())
        setWindowFlag(Qt::X11BypassWindowManagerHint);
    // Both only take effect when set before the native window exists.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(title);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    resize(600, 300); // until the content has been measured

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(saveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &FloatingPanel::savePosition);
    connect(&m_windowSystem, &WindowSystem::compositingChanged, this, &FloatingPanel::updateTranslucency);
    // A screen unplugged or made smaller while running must not take the keyboard with it.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &FloatingPanel::keepOnScreens,
            Qt::QueuedConnection);
    auto followScreen = [this](QScreen* screen) {
        connect(screen, &QScreen::availableGeometryChanged, this, &FloatingPanel::keepOnScreens,
                Qt::QueuedConnection);
    };
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens)
        followScreen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, followScreen);
}

FloatingPanel::~FloatingPanel() {
    if (m_saveTimer.isActive())
        savePosition();
}

void FloatingPanel::setContent(QWidget* content) {
    if (m_content) {
        m_content->removeEventFilter(this);
        delete m_content;
    }
    m_content = content;
    m_panelContent = dynamic_cast<PanelContent*>(content);
    if (!content)
        return;
    content->setFocusPolicy(Qt::NoFocus);
    content->installEventFilter(this);
    layout()->addWidget(content);
    if (m_panelContent)
        m_panelContent->setTranslucent(m_translucent);
    updateMask();
}

void FloatingPanel::showPanel() {
    if (!m_placed) {
        ensurePolished();
        layout()->activate();
        placeForFirstShow();
        m_placed = true;
    }
    // A compositor may have come or gone while hidden.
    updateTranslucency();
    show();
    raise();
}

void FloatingPanel::hidePanel() {
    m_dragging = false;
    hide();
}

void FloatingPanel::setAllowFocus(bool allow) {
    if (m_allowFocus == allow)
        return;
    if (allow) {
        const quint64 active = m_windowSystem.activeWindow();
        m_focusToRestore = active != winId() ? active : 0;
    }
    const bool hadFocus = isActiveWindow() || (isVisible() && m_windowSystem.activeWindow() == winId());
    m_allowFocus = allow;

    // Changing the flags through the widget would unmap the window; the
    // native window takes them in place and the widget is told afterwards.
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowDoesNotAcceptFocus, !allow);
    if (QWindow* window = windowHandle()) {
        window->setFlags(flags);
        m_windowSystem.setAcceptsFocus(*window, allow);
    }
    overrideWindowFlags(flags);

    if (!allow) {
        if (hadFocus && m_focusToRestore)
            m_windowSystem.activateWindow(m_focusToRestore);
        m_focusToRestore = 0;
    }
}

void FloatingPanel::activate() {
    if (!m_allowFocus || !isVisible())
        return;
    activateWindow();
}

bool FloatingPanel::canTakeFocus() const {
    // An unmanaged window under a Wayland compositor is never given the keyboard, whatever it asks.
    return !m_windowSystem.floatsUnmanaged();
}

QString FloatingPanel::frameText(const QRect& frame) {
    return QStringLiteral("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
}

std::optional<QRect> FloatingPanel::parseFrame(const QString& text) {
    const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).toInt(&ok);
        if (!ok || std::abs(values[i]) > 1'000'000)
            return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}

QRect FloatingPanel::placedOnScreens(const QRect& frame, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return frame;
    const int needWidth = std::min(minimumVisible, frame.width());
    const int needHeight = std::min(minimumVisible, frame.height());
    for (const QRect& screen : screens) {
        const QRect part = screen.intersected(frame);
        if (part.width() >= needWidth && part.height() >= needHeight)
            return frame;
    }
    const QRect* nearest = &screens.first();
    for (const QRect& screen : screens) {
        if (distanceSquared(frame.center(), screen) < distanceSquared(frame.center(), *nearest))
            nearest = &screen;
    }
    QRect placed = frame;
    placed.moveLeft(std::clamp(frame.left(), nearest->left(),
                               std::max(nearest->left(), nearest->right() - frame.width() + 1)));
    placed.moveTop(std::clamp(frame.top(), nearest->top(),
                              std::max(nearest->top(), nearest->bottom() - frame.height() + 1)));
    return placed;
}

bool FloatingPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_content)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !m_movable || !m_panelContent ||
            !m_panelContent->isBackgroundAt(mouse->position().toPoint()))
            return false;
        m_dragging = true;
        m_autoPlacement.reset(); // wherever it ends, the place is the user's choice
        m_dragOffset = mouse->globalPosition().toPoint() - pos();
        return true;
    }
    case QEvent::MouseMove:
        if (!m_dragging)
            return false;
        move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - m_dragOffset);
        return true;
    case QEvent::MouseButtonRelease:
        if (!m_dragging)
            return false;
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_dragging = false;
            // Wait for the window manager's confirmation of the last move before saving.
            m_saveTimer.start();
        }
        return true;
    case QEvent::Resize:
        updateMask();
        return false;
    case QEvent::Paint:
        if (!m_appeared) {
            m_appeared = true;
            QMetaObject::invokeMethod(this, &FloatingPanel::appeared, Qt::QueuedConnection);
        }
        return false;
    default:
        return false;
    }
}

void FloatingPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_placed && isVisible())
        m_saveTimer.start();
}

void FloatingPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateMask();
}

void FloatingPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Before the window is mapped, so rules and states apply from the start.
    if (QWindow* window = windowHandle()) {
        m_windowSystem.setIdentity(*window, QByteArrayLiteral("keyboard"));
        m_windowSystem.setAcceptsFocus(*window, m_allowFocus);
        m_windowSystem.prepareFloatingShow(*window);
    }
}

void FloatingPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_dragging = false;
    if (m_saveTimer.isActive()) {
        m_saveTimer.stop();
        savePosition();
    }
}

void FloatingPanel::closeEvent(QCloseEvent* event) {
    // The window manager's close button or shortcut only hides the keyboard;
    // closing from within (the application quitting) goes ahead.
    if (!event->spontaneous()) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    if (onCloseRequested)
        onCloseRequested();
}

void FloatingPanel::placeForFirstShow() {
    QRect frame(QPoint(), size());
    const std::optional<QRect> saved = parseFrame(m_store.text(SettingKey::KeyboardWindowPosition));
    if (saved) {
        frame.moveTopLeft(saved->topLeft());
        frame = placedOnScreens(frame, screenRects());
    } else {
        const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            frame.moveCenter(screen->availableGeometry().center());
    }
    m_autoPlacement = frame.topLeft();
    move(frame.topLeft());
}

void FloatingPanel::keepOnScreens() {
    if (!m_placed)
        return;
    const QRect frame = geometry();
    const QRect placed = placedOnScreens(frame, screenRects());
    if (placed != frame) {
        m_autoPlacement = placed.topLeft();
        move(placed.topLeft());
    }
}

void FloatingPanel::savePosition() {
    m_saveTimer.stop();
    // A place the panel was put in by itself (centred, or brought back from a
    // missing screen) is not the user's choice: the saved one stays, so it
    // comes back when that screen does.
    if (!m_placed || pos() == m_autoPlacement)
        return;
    m_autoPlacement.reset();
    m_store.setValue(SettingKey::KeyboardWindowPosition, frameText(geometry()));
}

void FloatingPanel::updateTranslucency() {
    const bool translucent = m_windowSystem.isCompositing();
    if (translucent != m_translucent) {
        m_translucent = translucent;
        if (m_panelContent)
            m_panelContent->setTranslucent(translucent);
        update();
    }
    updateMask();
}

void FloatingPanel::updateMask() {
    if (m_translucent || !m_panelContent || !m_content) {
        clearMask();
        return;
    }
    const QPainterPath outline = m_panelContent->outline().translated(m_content->pos());
    if (outline.isEmpty()) {
        clearMask();
        return;
    }
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}
