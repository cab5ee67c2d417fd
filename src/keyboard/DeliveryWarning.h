#pragma once

#include <QTimer>
#include <QWidget>

class LocalizationManager;
class TypingBackend;

// A small red mark in the keyboard's corner for a few seconds after a symbol
// could not be typed, so that a lost symbol is never lost silently; the line
// that says why is in Runeboard's output. It takes no clicks and no focus.
class DeliveryWarning : public QWidget {
    Q_OBJECT
public:
    static constexpr int shownMs = 3000;

    DeliveryWarning(TypingBackend& typing, LocalizationManager& localization, QWidget& keyboard);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void warn(const QString& text, const QString& why);

    LocalizationManager& m_localization;
    QTimer m_hide;
};
