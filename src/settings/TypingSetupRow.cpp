#include "settings/TypingSetupRow.h"

#include "localization/LocalizationManager.h"
#include "platform/Log.h"
#include "platform/TypingSetup.h"
#include "settings/controls/TextStyles.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char* stateKey(TypingSetup::State state) {
    switch (state) {
    case TypingSetup::State::Works:
        return "works";
    case TypingSetup::State::Missing:
        return "missing";
    case TypingSetup::State::Off:
        return "off";
    case TypingSetup::State::RestartNeeded:
        return "restart";
    case TypingSetup::State::Failed:
        return "failed";
    }
    return "failed";
}
} // namespace

TypingSetupRow::TypingSetupRow(LocalizationManager& localization, TypingSetup& setup, QWidget* parent)
    : QWidget(parent)
    , m_localization(localization)
    , m_setup(setup)
    , m_title(new QLabel(this))
    , m_state(new QLabel(this))
    , m_turnOn(new QPushButton(this)) {
    setObjectName(QStringLiteral("typingSetupRow"));
    m_state->setObjectName(QStringLiteral("typingSetupState"));
    m_turnOn->setObjectName(QStringLiteral("typingSetupTurnOn"));
    m_state->setWordWrap(true);
    m_state->setFont(TextStyles::subheadline(font()));
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(m_title, 0, Qt::AlignVCenter);
    top->addStretch(1);
    top->addWidget(m_turnOn, 0, Qt::AlignVCenter | Qt::AlignRight);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addLayout(top);
    column->addWidget(m_state);

    // The step runs on the next turn of the loop, never inside the button's own signal.
    connect(m_turnOn, &QPushButton::clicked, this,
            [this] { QTimer::singleShot(0, this, &TypingSetupRow::turnOn); });
    connect(&m_setup, &TypingSetup::stateChanged, this, &TypingSetupRow::retranslate);
    retranslate();
}

void TypingSetupRow::retranslate() {
    const QString part = m_setup.part();
    const TypingSetup::State state = m_setup.state();
    m_title->setText(m_localization.localized(part));
    QString text = m_localization.localized(part + u'_' + QLatin1String(stateKey(state)));
    if (state == TypingSetup::State::Failed)
        text = text.arg(m_setup.detail());
    if (!m_failure.isEmpty())
        text += u'\n' + m_localization.localized(QStringLiteral("turn_on_failed")).arg(m_failure);
    if (const UserText note = m_setup.note(); !note.isEmpty())
        text += QStringLiteral("\n\n") + m_localization.text(note);
    m_state->setText(text);
    m_turnOn->setText(m_localization.localized(QStringLiteral("turn_on")));
    m_turnOn->setVisible(state == TypingSetup::State::Off);
    m_turnOn->setAccessibleDescription(m_state->text());
}

void TypingSetupRow::turnOn() {
    m_failure.clear();
    if (!m_setup.turnOn(&m_failure))
        Log::line(QStringLiteral("[TypingSetupRow] Could not turn on %1: %2").arg(m_setup.part(), m_failure));
    retranslate();
}

void TypingSetupRow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_setup.refresh();
}

void TypingSetupRow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_setup.refresh();
}
