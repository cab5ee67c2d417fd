#pragma once

#include "keyboard/PanelContent.h"
#include "keyboard/SymbolEditor.h"
#include "keyboard/view/GestureRecogniser.h"
#include "keyboard/view/KeyboardSceneBuilder.h"
#include "keyboard/view/ReorderSession.h"
#include "keyboard/view/ShiftLatch.h"
#include "keyboard/view/fields/FocusLender.h"
#include "keyboard/view/fields/TextField.h"
#include "keyboard/view/painting/KeyboardPainter.h"
#include "names/NameIndexLoader.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class TypingBackend;
class KeyboardPanel;
class KeyboardState;
class LocalizationManager;
class SetStore;
class QMenu;
class ViewClock;
class CandidateStrip;

// The content of the floating panel: one painted widget holding the card, the
// keys of the active set, the add key, the save row, the close button and the
// set dots, plus the two text fields while they are open. It paints what the
// scene builder says and routes what the gesture recogniser makes of the
// pointer; it never takes the keyboard focus for itself: a key types into
// whatever program has it. The panel may take the focus only while a field is open;
// a panel that never can has its fields open in windows of their own.
class KeyboardView : public QWidget, public PanelContent {
    Q_OBJECT
public:
    // `window` is the panel the view is shown in, or none (painted offscreen): the view
    // lends it the focus while a field is open and keeps it in place while keys are
    // reordered. `clock` times the deferred steps and animations, the event loop's when
    // none is given. Both must outlive the view.
    KeyboardView(KeyboardState& state, SetStore& setStore, LocalizationManager& localizationManager,
                 TypingBackend& typing, KeyboardPanel* window = nullptr, ViewClock* clock = nullptr);
    ~KeyboardView() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // PanelContent
    bool isBackgroundAt(const QPoint& position) const override;
    QPainterPath outline() const override { return m_scene.outline(); }
    void setTranslucent(bool translucent) override;

    // The editing operations the gestures start.
    void startAdding(int section);
    void commitAdd(int section);
    void cancelAdd();
    void startSaving();
    void commitSave();
    void cancelSave();
    // What the fields hold, and whether each has been given the focus since it opened.
    QString newCharacter() const { return m_add.text(); }
    QString setName() const { return m_name.text(); }
    bool isAddFieldFocused() const { return m_add.isFocused(); }
    bool isSaveFieldFocused() const { return m_name.isFocused(); }
    // The symbols offered for what the add field holds, best first; none while it holds no name.
    QStringList candidates() const;
    // Adds a symbol offered by name in place of what was typed, and closes the add field.
    void chooseCandidate(const QString& symbol);

    // For assistive technology (KeyboardAccessible): what is shown, the symbols' names in the
    // interface language, and the buttons' actions, carried out as a click would be.
    const KeyboardSceneBuilder& scene() const { return m_scene; }
    LocalizationManager& localization() const { return m_localization; }
    QString spokenName(const QString& symbol);
    void perform(const GestureIntent& intent);
    // Counts the layouts made, so that what was read from an earlier one is known to be stale.
    int layoutGeneration() const { return m_layoutGeneration; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Re-reads everything shown from the managers; called on every change they announce.
    void rebuild();
    void withAnimation(const std::optional<ViewAnimation>& animation, const std::function<void()>& change);
    void handle(const GestureIntent& intent);
    void offerDeleting(const QString& text, const QPoint& screenPosition);
    void placeFields();
    void scheduleFrame();
    void offerCandidates(const QString& typed);

    KeyboardState& m_state;
    SetStore& m_setStore;
    LocalizationManager& m_localization;
    TypingBackend& m_typing;
    SymbolEditor m_editor;
    std::unique_ptr<ViewClock> m_ownClock;
    ViewClock& m_clock;

    KeyboardSceneBuilder m_scene;
    KeyboardPainter m_painter;
    bool m_translucent = true;
    std::optional<ViewAnimation> m_animation; // the animation changes are made under, if any
    int m_frameTask = -1;

    GestureRecogniser m_gestures;
    ShiftLatch m_latch;
    // Shift as the events of the click carry it: held at the press or at the release.
    bool m_clickShift = false;
    ReorderSession m_reorder;
    QPointer<QMenu> m_menu;

    FocusLender m_lender;
    int m_activeAddingSection = 0;
    TextField m_add;
    TextField m_name;
    // Made on the first name typed into the add field: reading every name takes a moment.
    NameIndexLoader m_names;
    QString m_typedForNames; // what the add field held when the index was not yet built
    int m_layoutGeneration = 0;
    QPointer<CandidateStrip> m_candidates;
    // The keys' symbols, as typed with and without Shift, for the typing to get ready.
    QString m_keySymbols;
    QTimer m_prepare;
};
