#pragma once

#include <QList>
#include <QScrollArea>
#include <QUuid>

class CustomRowButton;
class InsetListCard;
class LocalizationManager;
class SetStore;
class SetRow;
struct SymbolSet;

// The scrolled list of the Sets tab: on an inset card, the Custom row and
// then one row per stored set, in the store's order. A store may hold
// thousands of sets, so only the rows in view (and one on either side, for
// Tab to move to) exist: they are reused as the list scrolls, the first
// showing the first set in view and so on, and the keyboard focus stays with
// its set while they move.
class SetList : public QScrollArea {
    Q_OBJECT

public:
    SetList(const SetStore& sets, const LocalizationManager& localization, QWidget* parent = nullptr);

    CustomRowButton* customRow() const { return m_customRow; }
    int rowCount() const;
    // The row of the set at `index` in the store's list, scrolled into view; null when there is none.
    SetRow* row(int index);

    // Shows the store's sets again: after a change of the store or of the language.
    void refresh();

Q_SIGNALS:
    void makeMainRequested(const QUuid& id);
    void toggleQuickAccessRequested(const QUuid& id);
    void deleteRequested(const SymbolSet& set);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeRows();
    SetRow* makeRow();
    int rowHeight();
    int rowsTop() const;

    const SetStore& m_sets;
    const LocalizationManager& m_localization;
    InsetListCard* m_card;
    CustomRowButton* m_customRow;
    QList<SetRow*> m_pool; // m_pool[i] shows the set at m_first + i
    int m_first = 0;
    int m_shown = 0;
    int m_rowHeight = 0;
    bool m_placing = false;
};
