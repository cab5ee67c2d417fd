#include "settings/SetList.h"

#include "settings/CustomRowButton.h"
#include "settings/NameBlock.h"
#include "settings/SetRow.h"
#include "settings/controls/IconButton.h"
#include "settings/controls/InsetListCard.h"

#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"

#include <QApplication>
#include <QEvent>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace {
constexpr int sidePadding = 12;
constexpr int endPadding = 2;

QList<QWidget*> controlsOf(const SetRow* row) {
    return {row->nameBlock(), row->mainMarker(), row->quickAccessButton(), row->deleteButton()};
}
} // namespace

SetList::SetList(const SetStore& sets, const LocalizationManager& localization, QWidget* parent)
    : QScrollArea(parent)
    , m_sets(sets)
    , m_localization(localization)
    , m_card(new InsetListCard)
    , m_customRow(new CustomRowButton(m_card)) {
    m_customRow->setObjectName(QStringLiteral("customRow"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The card is as tall as all rows together; only the rows in view are made.
    setWidgetResizable(false);
    setWidget(m_card);
    viewport()->setAutoFillBackground(false);
    m_card->setAutoFillBackground(false);
    viewport()->installEventFilter(this);
    verticalScrollBar()->setSingleStep(20);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &SetList::placeRows);
    placeRows();
}

int SetList::rowCount() const {
    return int(m_sets.sets().size());
}

SetRow* SetList::row(int index) {
    if (index < 0 || index >= rowCount())
        return nullptr;
    const int height = rowHeight();
    ensureVisible(sidePadding, rowsTop() + index * height + height / 2, 0, height / 2);
    placeRows();
    return index >= m_first && index < m_first + m_shown ? m_pool.at(index - m_first) : nullptr;
}

void SetList::refresh() {
    placeRows();
}

bool SetList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport() && event->type() == QEvent::Resize)
        placeRows();
    return QScrollArea::eventFilter(watched, event);
}

void SetList::changeEvent(QEvent* event) {
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        placeRows();
    }
}

SetRow* SetList::makeRow() {
    auto* row = new SetRow(m_card);
    connect(row, &SetRow::makeMainRequested, this, &SetList::makeMainRequested);
    connect(row, &SetRow::toggleQuickAccessRequested, this, &SetList::toggleQuickAccessRequested);
    connect(row, &SetRow::deleteRequested, this, &SetList::deleteRequested);
    // Rows made later still follow the rows above them when Tab is pressed.
    QWidget* previous = m_pool.isEmpty() ? m_customRow : controlsOf(m_pool.last()).last();
    for (QWidget* control : controlsOf(row))
        QWidget::setTabOrder(std::exchange(previous, control), control);
    return row;
}

int SetList::rowHeight() {
    if (m_rowHeight <= 0) {
        if (m_pool.isEmpty())
            m_pool.append(makeRow());
        m_rowHeight = std::max(1, m_pool.first()->sizeHint().height());
    }
    return m_rowHeight;
}

int SetList::rowsTop() const {
    return endPadding + m_customRow->sizeHint().height();
}

void SetList::placeRows() {
    if (m_placing)
        return;
    const QScopedValueRollback placing(m_placing, true);
    const QList<SymbolSet>& sets = m_sets.sets();
    const int count = int(sets.size());
    const int height = rowHeight();
    const int viewHeight = viewport()->height();

    // Which set's control has the focus: the rows are about to show other sets.
    QWidget* focus = QApplication::focusWidget();
    int focusedSet = -1;
    qsizetype focusedControl = -1;
    for (int i = 0; focus && i < m_shown && focusedSet < 0; ++i) {
        focusedControl = controlsOf(m_pool.at(i)).indexOf(focus);
        if (focusedControl >= 0)
            focusedSet = m_first + i;
    }

    m_card->resize(viewport()->width(), std::max(viewHeight, rowsTop() + count * height + endPadding));
    // QScrollArea learns the new size from the card's resize event, which a
    // hidden card gets only when shown; the rows are placed for the range now.
    verticalScrollBar()->setRange(0, m_card->height() - viewHeight);
    verticalScrollBar()->setPageStep(viewHeight);
    m_customRow->setGeometry(sidePadding, endPadding, m_card->width() - 2 * sidePadding,
                             m_customRow->sizeHint().height());
    // One row more on either side, so that Tab always finds the next row to scroll to.
    const int top = verticalScrollBar()->value() - rowsTop();
    m_first = std::clamp(top / height - 1, 0, count);
    m_shown = std::clamp((top + viewHeight) / height + 2, m_first, count) - m_first;
    while (m_pool.size() < m_shown)
        m_pool.append(makeRow());
    for (int i = 0; i < m_pool.size(); ++i) {
        SetRow* row = m_pool.at(i);
        if (i >= m_shown) {
            row->hide();
            continue;
        }
        row->showSet(sets.at(m_first + i), m_localization);
        row->setGeometry(sidePadding, rowsTop() + (m_first + i) * height, m_card->width() - 2 * sidePadding,
                         height);
        row->show();
    }

    if (focusedSet >= m_first && focusedSet < m_first + m_shown)
        controlsOf(m_pool.at(focusedSet - m_first)).at(focusedControl)->setFocus();
    else if (focusedSet >= 0)
        setFocus(); // its set left the view; the list keeps the focus
}
