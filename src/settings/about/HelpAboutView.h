#pragma once

#include <QWidget>

class BulletPointRow;
class HotkeySettings;
class LocalizationManager;
class QLabel;
class QPushButton;
class UpdateManager;

// The about-and-help page: logo, version, web-site link, the update check and
// a short list of instructions; 380 × 480 (taller only when a large desktop
// font would otherwise clip the instructions).
//
// Created without a parent it is itself the top-level window titled
// "Help & About" with the window role "help". The instructions quote the
// user's current combinations and follow them when they change.
class HelpAboutView : public QWidget {
    Q_OBJECT

public:
    static inline const QString windowTitleText = QStringLiteral("Help & About");
    static inline const QString windowRoleName = QStringLiteral("help");
    static constexpr int fixedWidth = 380;
    static constexpr int minimumHeight = 480;

    HelpAboutView(LocalizationManager& localization, UpdateManager& updates, HotkeySettings& hotkeys,
                  QWidget* parent = nullptr);

    // "1.0" when the build names no version.
    QString versionText() const;

    QPushButton* updateButton() const { return m_updateButton; }

private:
    void retranslate();
    void fitHeight();

    LocalizationManager& m_localization;
    UpdateManager& m_updates;
    HotkeySettings& m_hotkeys;
    QLabel* m_version = nullptr;
    QLabel* m_link = nullptr;
    QPushButton* m_updateButton = nullptr;
    QLabel* m_howToTitle = nullptr;
    QLabel* m_keyboardHeading = nullptr;
    QLabel* m_setsHeading = nullptr;
    QList<BulletPointRow*> m_keyboardBullets;
    QList<BulletPointRow*> m_setsBullets;
};
