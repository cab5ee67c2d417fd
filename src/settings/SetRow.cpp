#include "settings/SetRow.h"

#include "localization/LocalizationManager.h"
#include "settings/NameBlock.h"
#include "settings/controls/IconButton.h"
#include "settings/controls/SemanticColors.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

namespace {
// The row's own 2 above and below, plus the inset list's padding around every row.
constexpr int verticalMargin = 2 + 4;
} // namespace

SetRow::SetRow(QWidget* parent)
    : QWidget(parent)
    , m_name(new NameBlock(this))
    , m_main(new IconButton(this))
    , m_quick(new IconButton(this))
    , m_delete(new IconButton(this)) {
    m_name->setObjectName(QStringLiteral("nameBlock"));
    m_main->setObjectName(QStringLiteral("mainMarker"));
    m_quick->setObjectName(QStringLiteral("quickAccessButton"));
    m_delete->setObjectName(QStringLiteral("deleteButton"));

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, verticalMargin, 0, verticalMargin);
    line->setSpacing(10);
    line->addWidget(m_name, 1);
    line->addWidget(m_main, 0, Qt::AlignVCenter);
    line->addWidget(m_quick, 0, Qt::AlignVCenter);
    line->addWidget(m_delete, 0, Qt::AlignVCenter);

    connect(m_name, &NameBlock::clicked, this, [this] { Q_EMIT makeMainRequested(m_set.id); });
    connect(m_main, &IconButton::clicked, this, [this] { Q_EMIT makeMainRequested(m_set.id); });
    connect(m_quick, &IconButton::clicked, this, [this] { Q_EMIT toggleQuickAccessRequested(m_set.id); });
    connect(m_delete, &IconButton::clicked, this, [this] { Q_EMIT deleteRequested(m_set); });
}

void SetRow::showSet(const SymbolSet& set, const LocalizationManager& localization) {
    m_set = set;
    // Joined as stored: base characters, then the custom ones.
    m_name->setLines(localization.localized(set.name), set.baseCharacters + set.customCharacters);
    m_main->setToolTip(localization.localized(QStringLiteral("set_as_main")));
    m_main->setAccessibleName(m_main->toolTip());
    m_quick->setToolTip(localization.localized(QStringLiteral("add_to_quick_access")));
    m_quick->setAccessibleName(m_quick->toolTip());
    m_delete->setAccessibleName(localization.localized(QStringLiteral("delete")));
    restyle();
}

void SetRow::restyle() {
    const QPalette& colors = palette();
    using SymbolIcon::Kind;
    if (m_set.isMain)
        m_main->setSymbol(Kind::CheckmarkCircleFill, SemanticColors::green(colors));
    else
        m_main->setSymbol(Kind::Circle, SemanticColors::tertiaryLabel(colors));

    if (m_set.isAdditional)
        m_quick->setSymbol(Kind::PlusCircleFill, SemanticColors::blue(colors));
    else
        m_quick->setSymbol(Kind::PlusCircle,
                           m_set.isMain ? QColor(Qt::transparent) : SemanticColors::tertiaryLabel(colors));
    // The main set cannot be a quick-access extra: its button keeps its place but is gone.
    m_quick->setEnabled(!m_set.isMain);
    m_quick->setFocusPolicy(m_set.isMain ? Qt::NoFocus : Qt::TabFocus);

    m_delete->setSymbol(Kind::Trash, SemanticColors::tertiaryLabel(colors));
}

void SetRow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        restyle();
    QWidget::changeEvent(event);
}

void SetRow::paintEvent(QPaintEvent*) {
    // Rows are separated by a hairline along their top edge, as in an inset list.
    QPainter painter(this);
    const qreal thickness = 1.0 / qMax<qreal>(1.0, devicePixelRatioF());
    painter.fillRect(QRectF(0, 0, width(), thickness), SemanticColors::separator(palette()));
}
