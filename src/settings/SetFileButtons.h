#pragma once

#include <QWidget>

class LocalizationManager;
class QPushButton;
class SetStore;

// Below the list of sets: Import Set… reads a set from a text file and adds
// it; Export Set… offers the sets and writes the chosen one to a file. A file
// that cannot be read, is not text, is empty or too large is refused with a
// message saying so, and nothing changes.
class SetFileButtons : public QWidget {
    Q_OBJECT
public:
    SetFileButtons(SetStore& sets, LocalizationManager& localization, QWidget* parent = nullptr);
    void retranslate();

private:
    void importSet();
    void exportSet();
    void tell(const QString& title, const QString& text);

    SetStore& m_sets;
    LocalizationManager& m_localization;
    QPushButton* m_import;
    QPushButton* m_export;
};
