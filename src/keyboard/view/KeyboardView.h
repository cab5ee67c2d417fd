#pragma once

#include "keyboard/PanelContent.h"
#include "keyboard/SymbolEditor.h"
#include "keyboard/view/KeyboardLayout.h"
#include "keyboard/view/KeyboardPainter.h"
#include "keyboard/view/KeyboardPresentation.h"
#include "keyboard/view/ViewAnimation.h"

#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class EditorField;
class InputInjector;
class KeyboardState;
class LocalizationManager;
class PaletteManager;
class ViewClock;

// The content of the floating panel: one painted widget holding the card,
// the keys of the active set, the add key, the save row, the close button and
// the set dots, plus the two text fields while they are open. It never takes
// the keyboard focus for itself: a key types into whatever program has it, on
// release inside the key. The panel may take the focus only while a field is open.
class KeyboardView : public QWidget, public PanelContent {
    Q_OBJECT
public:
    KeyboardView(KeyboardState& state, PaletteManager& paletteManager,
                 LocalizationManager& localizationManager, InputInjector& injector,
                 QWidget* parent = nullptr);
    ~KeyboardView() override;

    // Replaces the clock of deferred steps and animations (tests move one by hand); it must outlive the view.
    void setClock(ViewClock& clock);
    ViewClock& clock() const { return *m_clock; }

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
    // The centre of a key (or of the first element of a kind) in view coordinates.
    std::optional<QPointF> keyCentre(const QString& text, bool isCustom) const;
    std::optional<QPointF> elementCentre(KeyboardElementKind kind) const;
    // What is drawn now.
    KeyboardScene scene() const;
    // True while an animation or a deferred step is pending.
    bool isAnimating() const;

    bool isAddingMode() const { return m_isAddingMode; }
    QString newCharacter() const { return m_newCharacter; }
    int activeAddingSection() const { return m_activeAddingSection; }
    bool isReordering() const { return m_isReordering; }
    bool isSavingPalette() const { return m_isSavingPalette; }
    QString paletteName() const { return m_paletteName; }
    bool isAddFieldFocused() const { return m_isAddFieldFocused; }
    bool isSaveFieldFocused() const { return m_isSaveFieldFocused; }
    std::optional<QString> draggedCharacter() const { return m_draggedCharacter; }
    bool draggedIsCustom() const { return m_draggedIsCustom; }
    QPointF dragPosition() const { return m_dragPosition; }
    EditorField* addField() const { return m_addField; }
    EditorField* nameField() const { return m_nameField; }
    QMenu* contextMenu() const { return m_menu; }

    // The editing operations, as the gestures start them.
    void startAdding(int section);
    void commitAdd(int section);
    void cancelAdd();
    void startSaving();
    void commitSave();
    void cancelSave();
    void deleteSymbol(const QString& text);

public Q_SLOTS:
    // Re-reads everything shown from the managers; called on every change they announce.
    void rebuild();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // What a press landed on, by identity (indices change while keys move).
    struct Target {
        KeyboardHit::Kind kind = KeyboardHit::Nothing;
        KeyboardElementKind element = KeyboardElementKind::Key;
        QString text;
        bool isCustom = false;
        int dot = -1;
        bool operator==(const Target&) const = default;
    };
    struct Press {
        Target target;
        QPointF origin;
        int longPressTask = -1;
        bool moved = false;    // beyond the long press's 10 points
        bool dragging = false; // beyond the drag's 10 points
    };

    Target targetAt(const QPointF& position) const;
    KeyboardLayoutInput layoutInput() const;
    QList<KeyboardPresentation::Target> presentationTargets() const;
    void withAnimation(const ViewAnimation& animation, const std::function<void()>& change);
    void activate(const Target& target);
    void typeKey(const QString& text);
    void backgroundClick();
    void longPressRecognised();
    void dragChanged(const Target& key, const QPointF& location);
    void dragEnded(const Target& key);

    void setReordering(bool on);
    void setAddingMode(bool on);
    void setSavingPalette(bool on);
    void updatePanelFocus(bool fieldOpened);
    EditorField* openField(bool forAdding);
    void closeField(EditorField*& field);
    void focusFieldLater(bool forAdding);
    void setNewCharacter(const QString& text);
    void placeFields();
    void scheduleFrame();
    void onFrame();
    bool closeButtonShown() const { return !m_isReordering; }
    qreal labelWidth(const QString& label, qreal pixelSize) const;

    KeyboardState& m_state;
    PaletteManager& m_paletteManager;
    LocalizationManager& m_localization;
    InputInjector& m_injector;
    SymbolEditor m_editor;
    std::unique_ptr<ViewClock> m_ownClock;
    ViewClock* m_clock;

    KeyboardLayout m_layout;
    KeyboardPresentation m_presentation;
    QHash<QString, QRectF> m_buttonFrames;
    QList<bool> m_activeDots;
    QList<QString> m_dotPaletteIDs;
    QString m_saveTitle;
    KeyboardPainter m_painter;
    bool m_translucent = true;
    std::optional<ViewAnimation> m_animation; // the animation changes are made under, if any
    AnimatedValue m_closeOpacity{1, 0.002};
    AnimatedValue m_previewX{0, 0.05}, m_previewY{0, 0.05};
    qint64 m_pulseEpoch = 0;
    int m_frameTask = -1;

    bool m_isAddingMode = false;
    QString m_newCharacter;
    int m_activeAddingSection = 0;
    bool m_isReordering = false;
    bool m_isSavingPalette = false;
    QString m_paletteName;
    bool m_isAddFieldFocused = false;
    bool m_isSaveFieldFocused = false;
    std::optional<QString> m_draggedCharacter;
    bool m_draggedIsCustom = false;
    QPointF m_dragPosition;

    EditorField* m_addField = nullptr;
    EditorField* m_nameField = nullptr;
    QPointer<QMenu> m_menu;
    std::optional<Press> m_press;
};
