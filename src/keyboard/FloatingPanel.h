#pragma once

#include "keyboard/KeyboardPanel.h"
#include "storage/SettingsTable.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class PanelContent;
class SettingsStore;
class WindowSystem;

// The keyboard's window: frameless, above normal windows, on every desktop,
// without task-bar or pager entry, never taking the keyboard focus unless
// allowFocus is on, sized to its content (see PanelContent for what the
// content tells it). Its place is saved under "KeyboardWindowPosition" as
// "x y width height" whenever it moves, and restored when it is first shown;
// without a saved place it starts centred on the screen under the pointer.
class FloatingPanel : public QWidget, public KeyboardPanel {
    Q_OBJECT
public:
    static inline const QString positionKey{SettingsTable::row(SettingKey::KeyboardWindowPosition).name};
    static inline const QString title = QStringLiteral("Runeboard Keyboard");

    FloatingPanel(SettingsStore& store, WindowSystem& windowSystem);
    ~FloatingPanel() override;

    // Takes ownership of the content; a PanelContent is told about translucency
    // and asked where its background is.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    void showPanel() override;
    void hidePanel() override;
    bool allowFocus() const override { return m_allowFocus; }
    void setAllowFocus(bool allow) override;
    void activate() override;
    bool canTakeFocus() const override;
    void setMovableByBackground(bool movable) override { m_movable = movable; }
    bool isMovableByBackground() const { return m_movable; }

    bool isTranslucent() const { return m_translucent; }

    // Called when the window manager asks to close the panel (which only hides it).
    std::function<void()> onCloseRequested;

    static QString frameText(const QRect& frame);
    static std::optional<QRect> parseFrame(const QString& text);
    // The frame moved onto the nearest of the screens when too little of it
    // lies on any of them; unchanged otherwise.
    static QRect placedOnScreens(const QRect& frame, const QList<QRect>& screens);

Q_SIGNALS:
    // Once, on the turn after the content was first drawn: the panel is on screen.
    void appeared();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void placeForFirstShow();
    void keepOnScreens();
    void savePosition();
    void updateTranslucency();
    void updateMask();

    SettingsStore& m_store;
    WindowSystem& m_windowSystem;
    QPointer<QWidget> m_content;
    PanelContent* m_panelContent = nullptr;
    QTimer m_saveTimer;
    QPoint m_dragOffset;
    std::optional<QPoint> m_autoPlacement;
    quint64 m_focusToRestore = 0;
    bool m_placed = false;
    bool m_allowFocus = false;
    bool m_movable = true;
    bool m_dragging = false;
    bool m_translucent = false;
    bool m_appeared = false;
};
