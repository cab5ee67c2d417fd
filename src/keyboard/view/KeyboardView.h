#pragma once

#include "keyboard/PanelContent.h"
#include "keyboard/view/KeyboardLayout.h"
#include "keyboard/view/KeyboardPainter.h"

#include <QHash>
#include <QWidget>

#include <optional>

class InputInjector;
class KeyboardState;
class LocalizationManager;
class PaletteManager;

// The content of the floating panel: one painted widget holding the card,
// the keys of the active set, the add key, the save row, the close button and
// the set dots. It never takes the keyboard focus for itself: a key types into
// whatever program has it, on release inside the key.
class KeyboardView : public QWidget, public PanelContent {
    Q_OBJECT
public:
    KeyboardView(KeyboardState& state, PaletteManager& paletteManager,
                 LocalizationManager& localizationManager, InputInjector& injector,
                 QWidget* parent = nullptr);
    ~KeyboardView() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // PanelContent
    bool isBackgroundAt(const QPoint& position) const override;
    QPainterPath outline() const override;
    void setTranslucent(bool translucent) override;
    bool isTranslucent() const { return m_translucent; }

    const KeyboardLayout& layout() const { return m_layout; }
    // Frame of every key shown, by frame identifier, in the "keyboardGrid" space.
    const QHash<QString, QRectF>& buttonFrames() const { return m_buttonFrames; }
    // The centre of a key in view coordinates, or nothing when it is not shown.
    std::optional<QPointF> keyCentre(const QString& text, bool isCustom) const;
    // What is drawn now.
    KeyboardScene scene() const;

    bool isReordering() const { return m_isReordering; }
    bool isAddingMode() const { return m_isAddingMode; }
    bool isSavingPalette() const { return m_isSavingPalette; }

public Q_SLOTS:
    // Re-reads everything shown from the managers; called on every change they announce.
    void rebuild();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    KeyboardLayoutInput layoutInput() const;
    void activate(const KeyboardHit& hit);
    void typeKey(const QString& text);
    bool closeButtonShown() const { return !m_isReordering; }

    KeyboardState& m_state;
    PaletteManager& m_paletteManager;
    LocalizationManager& m_localization;
    InputInjector& m_injector;

    KeyboardLayout m_layout;
    QHash<QString, QRectF> m_buttonFrames;
    QList<bool> m_activeDots;
    QList<QString> m_dotPaletteIDs;
    QString m_saveTitle;
    KeyboardPainter m_painter;
    bool m_translucent = true;

    bool m_isAddingMode = false;
    int m_activeAddingSection = 0;
    bool m_isReordering = false;
    bool m_isSavingPalette = false;

    std::optional<KeyboardHit> m_pressed;
};
