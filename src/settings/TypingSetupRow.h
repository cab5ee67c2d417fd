#pragma once

#include <QWidget>

class LocalizationManager;
class QLabel;
class QPushButton;
class TypingSetup;

// What the desktop still needs before Runeboard types into every program (on
// GNOME, its GNOME Shell extension), in plain words, with the one button that
// turns it on where that is what is missing. Looks again whenever the window
// is shown or activated: the user may have changed it in another program.
class TypingSetupRow : public QWidget {
    Q_OBJECT

public:
    TypingSetupRow(LocalizationManager& localization, TypingSetup& setup, QWidget* parent = nullptr);

    void retranslate();

    QLabel* stateText() const { return m_state; }
    QPushButton* turnOnButton() const { return m_turnOn; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void turnOn();

    LocalizationManager& m_localization;
    TypingSetup& m_setup;
    QLabel* m_title = nullptr;
    QLabel* m_state = nullptr;
    QPushButton* m_turnOn = nullptr;
    QString m_failure; // why the last attempt to turn it on failed
};
