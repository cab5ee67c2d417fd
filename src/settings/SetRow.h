#pragma once

#include "sets/SymbolSet.h"

#include <QWidget>

class IconButton;
class LocalizationManager;
class NameBlock;

// One symbol set in the Sets tab: its name block, the main marker, the
// quick-access button and the delete button. The row only shows a set; the
// tab decides what its buttons do.
class SetRow : public QWidget {
    Q_OBJECT

public:
    explicit SetRow(QWidget* parent = nullptr);

    void showSet(const SymbolSet& set, const LocalizationManager& localization);
    const SymbolSet& set() const { return m_set; }

    NameBlock* nameBlock() const { return m_name; }
    IconButton* mainMarker() const { return m_main; }
    IconButton* quickAccessButton() const { return m_quick; }
    IconButton* deleteButton() const { return m_delete; }

Q_SIGNALS:
    void makeMainRequested(const QUuid& id);
    void toggleQuickAccessRequested(const QUuid& id);
    void deleteRequested(const SymbolSet& set);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void restyle();

    SymbolSet m_set;
    NameBlock* m_name = nullptr;
    IconButton* m_main = nullptr;
    IconButton* m_quick = nullptr;
    IconButton* m_delete = nullptr;
};
