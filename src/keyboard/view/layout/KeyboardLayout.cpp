#include "KeyboardLayout.h"

#include "keyboard/view/layout/WrapLayout.h"
#include "keyboard/view/painting/ContinuousCorners.h"
#include "sets/SymbolSet.h"

#include <algorithm>

namespace {

constexpr qreal closeButtonSide = 20;
constexpr QPointF closeButtonOffset{3, -3};
constexpr qreal dotSide = 11;
constexpr qreal dotSpacing = 12;
constexpr qreal dotsOffset = 6.5;
constexpr qreal saveTitlePadding = 12;

// One child of a flow: its size and the elements it is made of, relative to its top-left corner.
struct Item {
    QSizeF size;
    QList<KeyboardElement> parts;
};

KeyboardElement part(KeyboardElementKind kind, const QRectF& frame, const QString& text = {},
                     bool isCustom = false, int index = -1) {
    KeyboardElement e;
    e.kind = kind;
    e.frame = frame;
    e.text = text;
    e.isCustom = isCustom;
    e.index = index;
    return e;
}

QList<QSizeF> sizesOf(const QList<Item>& items) {
    QList<QSizeF> sizes;
    sizes.reserve(items.size());
    for (const Item& item : items)
        sizes.append(item.size);
    return sizes;
}

// A text field followed by its confirm and cancel buttons.
Item fieldRow(const KeyboardMetrics& m, qreal fieldWidth, KeyboardElementKind field,
              KeyboardElementKind confirm, KeyboardElementKind cancel) {
    const qreal k = m.keySize;
    Item item;
    item.size = QSizeF(fieldWidth + 2 * (m.fieldSpacing + k), k);
    item.parts = {
        part(field, QRectF(0, 0, fieldWidth, k)),
        part(confirm, QRectF(fieldWidth + m.fieldSpacing, 0, k, k)),
        part(cancel, QRectF(fieldWidth + 2 * m.fieldSpacing + k, 0, k, k)),
    };
    return item;
}

class Builder {
public:
    explicit Builder(const KeyboardLayoutInput& in)
        : in(in)
        , m(KeyboardMetrics::forSize(in.size)) {}

    Item key(const QString& text, bool isCustom, int index) const {
        qreal width = KeyboardLayout::keyWidth(text, m);
        if (in.labelWidth)
            width = std::max(width, in.labelWidth(text, KeyboardLayout::labelFontSize(text, m)));
        Item item;
        item.size = QSizeF(width, m.keySize);
        item.parts = {part(KeyboardElementKind::Key, QRectF(QPointF(), item.size), text, isCustom, index)};
        return item;
    }

    Item addElement() const {
        if (in.isAddingMode && in.activeAddingSection == 1)
            return fieldRow(m, 2 * m.keySize + 4, KeyboardElementKind::AddField,
                            KeyboardElementKind::AddConfirm, KeyboardElementKind::AddCancel);
        Item item;
        item.size = QSizeF(m.keySize, m.keySize);
        item.parts = {part(KeyboardElementKind::AddKey, QRectF(QPointF(), item.size))};
        return item;
    }

    Item shiftKey() const {
        Item item;
        item.size = QSizeF(m.keySize, m.keySize);
        item.parts = {part(KeyboardElementKind::ShiftKey, QRectF(QPointF(), item.size))};
        return item;
    }

    Item saveRow() const {
        if (in.isSavingSet)
            return fieldRow(m, 3 * m.keySize + 4, KeyboardElementKind::NameField,
                            KeyboardElementKind::NameConfirm, KeyboardElementKind::NameCancel);
        Item item;
        item.size = QSizeF(in.saveTitleWidth + 2 * saveTitlePadding, m.keySize);
        item.parts = {part(KeyboardElementKind::SaveButton, QRectF(QPointF(), item.size))};
        return item;
    }

    QList<Item> keys(const QStringList& symbols, bool isCustom) const {
        QList<Item> items;
        items.reserve(symbols.size() + 1);
        for (int i = 0; i < symbols.size(); ++i)
            items.append(key(symbols[i], isCustom, i));
        return items;
    }

    const KeyboardLayoutInput& in;
    const KeyboardMetrics m;
};

void emitItems(QList<KeyboardElement>& out, const QList<Item>& items, const QList<QRectF>& frames) {
    for (qsizetype i = 0; i < items.size(); ++i)
        for (KeyboardElement part : items[i].parts) {
            part.frame.translate(frames[i].topLeft());
            out.append(part);
        }
}

} // namespace

qreal KeyboardLayout::keyWidth(const QString& text, const KeyboardMetrics& metrics) {
    const qsizetype n = SymbolSet::graphemes(text).size();
    if (n < 2)
        return metrics.keySize;
    return std::max(metrics.keySize, qreal(n) * metrics.fontSize * 0.65 + 12);
}

qreal KeyboardLayout::labelFontSize(const QString& text, const KeyboardMetrics& metrics) {
    return SymbolSet::graphemes(text).size() < 2 ? metrics.fontSize : metrics.fontSize * 0.75;
}

QString KeyboardLayout::frameIdentifier(const QString& text, bool isCustom) {
    return (isCustom ? QStringLiteral("c:") : QStringLiteral("b:")) + text;
}

KeyboardLayout KeyboardLayout::compute(const KeyboardLayoutInput& input) {
    const Builder b(input);
    const KeyboardMetrics& m = b.m;
    const WrapLayout wrap(m.keySpacing, m.maxKeysPerRow);
    KeyboardLayout layout;
    layout.m_metrics = m;

    // The key area: one or two flows, each a list of items placed in its own bounds.
    struct Flow {
        QList<Item> items;
        QSizeF size;
    };
    QList<Flow> flows;
    const bool bothEmpty = input.baseSymbols.isEmpty() && input.customSymbols.isEmpty();
    if (bothEmpty) {
        flows.append({{b.addElement()}, {}});
    } else if (!input.separateCustomSymbols) {
        QList<Item> items = b.keys(input.baseSymbols, false);
        items += b.keys(input.customSymbols, true);
        items.append(b.addElement());
        flows.append({items, {}});
    } else {
        const bool customShown =
            !input.customSymbols.isEmpty() || (input.isAddingMode && input.activeAddingSection == 1);
        if (!input.baseSymbols.isEmpty()) {
            QList<Item> items = b.keys(input.baseSymbols, false);
            if (!customShown)
                items.append(b.addElement());
            flows.append({items, {}});
        }
        if (customShown) {
            QList<Item> items = b.keys(input.customSymbols, true);
            items.append(b.addElement());
            flows.append({items, {}});
        }
    }

    if (input.shiftKey && !bothEmpty)
        flows.last().items.append(b.shiftKey());

    QSizeF keyArea(0, 0);
    for (Flow& flow : flows) {
        // A lone add element is a plain row, which measures the same as a one-item flow.
        flow.size = wrap.measure(sizesOf(flow.items));
        keyArea.setWidth(std::max(keyArea.width(), flow.size.width()));
        keyArea.setHeight(keyArea.height() + flow.size.height());
    }
    keyArea.rheight() += m.keySpacing * qreal(flows.size() - 1);

    std::optional<Item> save;
    if (input.showSaveRow)
        save = b.saveRow();
    const qreal contentWidth = std::max(keyArea.width(), save ? save->size.width() : 0);
    const qreal contentHeight = keyArea.height() + (save ? m.saveRowGap + save->size.height() : 0);

    qreal y = 0;
    for (const Flow& flow : flows) {
        const QRectF bounds((contentWidth - flow.size.width()) / 2, y, flow.size.width(), flow.size.height());
        emitItems(layout.m_elements, flow.items, wrap.place(bounds, sizesOf(flow.items)));
        y += flow.size.height() + m.keySpacing;
    }
    if (save) {
        const QRectF frame(QPointF((contentWidth - save->size.width()) / 2, keyArea.height() + m.saveRowGap),
                           save->size);
        emitItems(layout.m_elements, {*save}, {frame});
    }

    layout.m_card = QRectF(m.outerMargin, m.outerMargin, contentWidth + 2 * m.innerPadding,
                           contentHeight + 2 * m.innerPadding);
    layout.m_size =
        QSizeF(layout.m_card.width() + 2 * m.outerMargin, layout.m_card.height() + 2 * m.outerMargin);
    layout.m_gridOrigin = layout.m_card.topLeft() + QPointF(m.innerPadding, m.innerPadding);

    // Overlays: the close button's top-right corner sits just outside the card's,
    // the dots straddle the card's lower edge.
    layout.m_closeButton =
        QRectF(layout.m_card.right() - closeButtonSide, layout.m_card.top(), closeButtonSide, closeButtonSide)
            .translated(closeButtonOffset);
    if (input.dotCount >= 2) {
        const qreal rowWidth = input.dotCount * dotSide + (input.dotCount - 1) * dotSpacing;
        qreal x = layout.m_card.center().x() - rowWidth / 2;
        const qreal top = layout.m_card.bottom() + dotsOffset - dotSide;
        for (int i = 0; i < input.dotCount; ++i, x += dotSide + dotSpacing)
            layout.m_dots.append(QRectF(x, top, dotSide, dotSide));
    }
    return layout;
}

const KeyboardElement* KeyboardLayout::element(KeyboardElementKind kind) const {
    for (const KeyboardElement& e : m_elements)
        if (e.kind == kind)
            return &e;
    return nullptr;
}

const KeyboardElement* KeyboardLayout::key(const QString& text, bool isCustom) const {
    for (const KeyboardElement& e : m_elements)
        if (e.kind == KeyboardElementKind::Key && e.isCustom == isCustom && e.text == text)
            return &e;
    return nullptr;
}

QHash<QString, QRectF> KeyboardLayout::buttonFrames() const {
    QHash<QString, QRectF> frames;
    for (const KeyboardElement& e : m_elements)
        if (e.kind == KeyboardElementKind::Key)
            frames.insert(frameIdentifier(e.text, e.isCustom), e.frame);
    return frames;
}

namespace {
bool inCircle(const QRectF& circle, const QPointF& p) {
    const QPointF d = p - circle.center();
    const qreal r = circle.width() / 2;
    return d.x() * d.x() + d.y() * d.y() <= r * r;
}
} // namespace

KeyboardHit KeyboardLayout::hitTest(const QPointF& viewPoint, bool closeButtonShown) const {
    if (closeButtonShown && inCircle(m_closeButton, viewPoint))
        return {KeyboardHit::CloseButton, 0};
    for (int i = 0; i < m_dots.size(); ++i)
        if (inCircle(m_dots[i], viewPoint))
            return {KeyboardHit::Dot, i};
    const QPointF p = toGrid(viewPoint);
    for (int i = 0; i < m_elements.size(); ++i)
        if (m_elements[i].frame.contains(p))
            return {KeyboardHit::Element, i};
    if (continuousRoundedRect(m_card, m_metrics.cardRadius).contains(viewPoint))
        return {KeyboardHit::Background, -1};
    return {};
}
