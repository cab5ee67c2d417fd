#include "settings/about/HelpAboutView.h"

#include "BuildInfo.h"

#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "localization/LocalizationManager.h"
#include "settings/controls/AppLogo.h"
#include "settings/controls/BulletPointRow.h"
#include "settings/controls/InsetDivider.h"
#include "settings/controls/LogoView.h"
#include "settings/controls/SemanticColors.h"
#include "settings/controls/TextStyles.h"
#include "updates/UpdateManager.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char* const keyboardKeys[] = {"inst_kbd_1", "inst_kbd_2", "inst_kbd_3", "inst_kbd_4"};
const char* const setsKeys[] = {"inst_sets_1", "inst_sets_2"};

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette colors = widget->palette();
    colors.setColor(QPalette::WindowText, color);
    widget->setPalette(colors);
}

} // namespace

HelpAboutView::HelpAboutView(LocalizationManager& localization, UpdateManager& updates,
                             HotkeySettings& hotkeys, QWidget* parent)
    : QWidget(parent)
    , m_localization(localization)
    , m_updates(updates)
    , m_hotkeys(hotkeys)
    , m_version(new QLabel(this))
    , m_link(new QLabel(this))
    , m_updateButton(new QPushButton(this))
    , m_howToTitle(new QLabel(this))
    , m_keyboardHeading(new QLabel(this))
    , m_setsHeading(new QLabel(this)) {
    setObjectName(QStringLiteral("helpAboutView"));
    m_version->setObjectName(QStringLiteral("versionLabel"));
    m_link->setObjectName(QStringLiteral("websiteLink"));
    m_updateButton->setObjectName(QStringLiteral("checkForUpdatesButton"));
    setWindowTitle(windowTitleText);
    setWindowRole(windowRoleName);
    setWindowIcon(AppLogo::icon());
    setFixedSize(fixedWidth, minimumHeight);

    const QFont body = font();
    const QFont subheadline = TextStyles::subheadline(body);
    const QFont caption = TextStyles::caption(body);
    const QFont headline = TextStyles::headline(body);
    QFont captionMedium = caption;
    captionMedium.setWeight(QFont::DemiBold);
    const QColor secondary = SemanticColors::secondaryLabel(palette());

    // Header
    auto* header = new QVBoxLayout;
    header->setContentsMargins(0, 20, 0, 0);
    header->setSpacing(4);
    header->addWidget(new LogoView(100, this), 0, Qt::AlignHCenter);
    for (QLabel* line : {m_version, m_link}) {
        line->setFont(subheadline);
        setTextColor(line, secondary);
        line->setAlignment(Qt::AlignHCenter);
        header->addWidget(line, 0, Qt::AlignHCenter);
    }
    const QUrl site(QString::fromUtf8(BuildInfo::websiteUrl));
    if (site.isValid() && !site.host().isEmpty()) {
        m_link->setTextFormat(Qt::RichText);
        m_link->setText(QStringLiteral("<a href=\"%1\" style=\"color: %2; text-decoration: none;\">%3</a>")
                            .arg(site.toString(QUrl::FullyEncoded).toHtmlEscaped(), secondary.name(),
                                 site.host().toHtmlEscaped()));
        m_link->setOpenExternalLinks(true); // the default browser, through the desktop's URL handler
        m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        m_link->setToolTip(site.toString());
    } else {
        m_link->hide();
    }

    // Update check
    m_updateButton->setEnabled(m_updates.canCheckForUpdates());
    connect(&m_updates, &UpdateManager::canCheckForUpdatesChanged, m_updateButton, &QPushButton::setEnabled);
    connect(m_updateButton, &QPushButton::clicked, &m_updates, &UpdateManager::checkForUpdates);

    // How to use
    auto* howTo = new QVBoxLayout;
    howTo->setContentsMargins(20, 0, 20, 0);
    howTo->setSpacing(12);
    m_howToTitle->setFont(headline);
    howTo->addWidget(m_howToTitle);
    auto addGroup = [&](QLabel* heading, QList<BulletPointRow*>& bullets, int count) {
        auto* group = new QVBoxLayout;
        group->setSpacing(4);
        heading->setFont(captionMedium);
        setTextColor(heading, secondary);
        group->addWidget(heading);
        for (int i = 0; i < count; ++i) {
            auto* bullet = new BulletPointRow(this);
            bullet->setFont(caption);
            setTextColor(bullet, secondary);
            group->addWidget(bullet);
            bullets.append(bullet);
        }
        howTo->addLayout(group);
    };
    addGroup(m_keyboardHeading, m_keyboardBullets, 4);
    addGroup(m_setsHeading, m_setsBullets, 2);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 20);
    column->setSpacing(20);
    column->addStretch(1);
    column->addLayout(header);
    column->addWidget(new InsetDivider(0, this));
    column->addWidget(m_updateButton, 0, Qt::AlignHCenter);
    column->addWidget(new InsetDivider(0, this));
    column->addLayout(howTo);
    column->addStretch(1);

    connect(&m_localization, &LocalizationManager::currentLanguageChanged, this, &HelpAboutView::retranslate);
    connect(&m_hotkeys, &HotkeySettings::changed, this, &HelpAboutView::retranslate);
    retranslate();
}

QString HelpAboutView::versionText() const {
    const QString version = m_updates.currentVersion();
    return version.isEmpty() ? QStringLiteral("1.0") : version;
}

void HelpAboutView::retranslate() {
    auto text = [this](const char* key) { return m_localization.localized(QString::fromLatin1(key)); };
    m_version->setText(text("about_version") + QLatin1Char(' ') + versionText());
    m_updateButton->setText(text("check_updates"));
    m_howToTitle->setText(text("how_to_use_title"));
    m_keyboardHeading->setText(text("inst_kbd_title"));
    m_setsHeading->setText(text("inst_sets_title"));
    for (int i = 0; i < m_keyboardBullets.size(); ++i)
        m_keyboardBullets.at(i)->setText(text(keyboardKeys[i]));
    for (int i = 0; i < m_setsBullets.size(); ++i)
        m_setsBullets.at(i)->setText(text(setsKeys[i]));
    // The lines that name combinations quote the ones that work now, not the defaults.
    using Action = KeyboardAction;
    auto shown = [this](Action action) { return KeyTable::displayText(m_hotkeys.hotkey(action)); };
    m_keyboardBullets.at(0)->setText(text("inst_kbd_1").arg(shown(Action::ToggleKeyboard)));
    m_setsBullets.at(0)->setText(
        text("inst_sets_1")
            .arg(shown(Action::QuickSet1), shown(Action::QuickSet2), shown(Action::QuickSet3)));
    fitHeight();
}

void HelpAboutView::fitHeight() {
    // 380 × 480 holds everything at the usual font sizes; with a large
    // desktop font the window grows downwards rather than clipping lines.
    // Nested layouts cache their height-for-width until their own (posted) update; drop those caches now.
    for (QLayout* nested : findChildren<QLayout*>())
        nested->invalidate();
    layout()->invalidate();
    const int natural = layout()->totalHeightForWidth(fixedWidth);
    setFixedSize(fixedWidth, qMax(minimumHeight, natural));
}
