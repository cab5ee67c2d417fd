#include "KeyboardAccessible.h"

#include "keyboard/view/KeyboardView.h"
#include "localization/LocalizationManager.h"

#include <QAccessibleActionInterface>

namespace {

// One button of the keyboard; it lives until the view lays itself out again.
class ButtonAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ButtonAccessible(KeyboardView* view, QAccessibleInterface* parent, KeyboardAccessible::Item item)
        : m_view(view)
        , m_parent(parent)
        , m_item(std::move(item)) {}

    bool isValid() const override { return m_view != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_parent->window(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return m_parent; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? m_item.name : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!m_view)
            return {};
        return QRect(m_view->mapToGlobal(m_item.rect.topLeft().toPoint()), m_item.rect.size().toSize());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.invisible = !m_view || !m_view->isVisible();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (m_view && name == pressAction())
            m_view->perform(m_item.press);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<KeyboardView> m_view;
    QAccessibleInterface* m_parent;
    KeyboardAccessible::Item m_item;
};

QAccessibleInterface* keyboardFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("KeyboardView") && object && object->isWidgetType())
        return new KeyboardAccessible(static_cast<KeyboardView*>(object));
    return nullptr;
}

GestureIntent intent(GestureIntent::Kind kind, KeyboardHit::Kind hit,
                     const KeyboardElement* element = nullptr, int dot = -1) {
    GestureIntent intent;
    intent.kind = kind;
    intent.target.kind = hit;
    if (element) {
        intent.target.element = element->kind;
        intent.target.text = element->text;
        intent.target.isCustom = element->isCustom;
    }
    intent.target.dot = dot;
    return intent;
}
} // namespace

KeyboardAccessible::KeyboardAccessible(KeyboardView* view)
    : QAccessibleWidget(view, QAccessible::Grouping) {}

KeyboardAccessible::~KeyboardAccessible() {
    for (const QAccessible::Id id : std::as_const(m_children))
        QAccessible::deleteAccessibleInterface(id);
}

void KeyboardAccessible::installFactory() {
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(keyboardFactory);
    installed = true;
}

QList<KeyboardAccessible::Item> KeyboardAccessible::items(KeyboardView& view) {
    const KeyboardLayout& layout = view.scene().layout();
    LocalizationManager& words = view.localization();
    QList<Item> items;
    for (const KeyboardElement& element : layout.elements()) {
        const QRectF rect = layout.toView(element.frame);
        switch (element.kind) {
        case KeyboardElementKind::Key: {
            const QString name = view.spokenName(element.text);
            items.append({name.isEmpty() ? element.text : element.text + QStringLiteral(", ") + name, rect,
                          intent(GestureIntent::Type, KeyboardHit::Element, &element)});
            break;
        }
        case KeyboardElementKind::AddKey:
            items.append({words.localized(QStringLiteral("add_symbol")), rect,
                          intent(GestureIntent::Open, KeyboardHit::Element, &element)});
            break;
        case KeyboardElementKind::SaveButton: {
            GestureIntent open = intent(GestureIntent::Open, KeyboardHit::Element, &element);
            open.field = KeyboardElementKind::NameField;
            items.append({words.localized(QStringLiteral("a11y_save_set")), rect, open});
            break;
        }
        case KeyboardElementKind::ShiftKey:
            items.append({words.localized(QStringLiteral("a11y_shift")), rect,
                          intent(GestureIntent::Shift, KeyboardHit::Element, &element)});
            break;
        default: // the fields and their buttons have widgets of their own, or Return and Escape
            break;
        }
    }
    for (int i = 0; i < layout.dots().size(); ++i)
        items.append({words.localized(QStringLiteral("a11y_set_dot")).arg(i + 1), layout.dots().at(i),
                      intent(GestureIntent::Dot, KeyboardHit::Dot, nullptr, i)});
    if (view.scene().closeButtonShown())
        items.append({words.localized(QStringLiteral("hide_keyboard")), layout.closeButton(),
                      intent(GestureIntent::Close, KeyboardHit::CloseButton)});
    return items;
}

void KeyboardAccessible::refresh() const {
    auto* view = static_cast<KeyboardView*>(widget());
    if (m_generation == view->layoutGeneration())
        return;
    m_generation = view->layoutGeneration();
    for (const QAccessible::Id id : std::as_const(m_children))
        QAccessible::deleteAccessibleInterface(id);
    m_children.clear();
    for (const Item& item : items(*view))
        m_children.append(QAccessible::registerAccessibleInterface(
            new ButtonAccessible(view, const_cast<KeyboardAccessible*>(this), item)));
}

int KeyboardAccessible::childCount() const {
    refresh();
    return int(m_children.size());
}

QAccessibleInterface* KeyboardAccessible::child(int index) const {
    refresh();
    return index >= 0 && index < m_children.size() ? QAccessible::accessibleInterface(m_children.at(index))
                                                   : nullptr;
}

int KeyboardAccessible::indexOfChild(const QAccessibleInterface* child) const {
    refresh();
    for (int i = 0; i < m_children.size(); ++i) {
        if (QAccessible::accessibleInterface(m_children.at(i)) == child)
            return i;
    }
    return -1;
}

QAccessibleInterface* KeyboardAccessible::childAt(int x, int y) const {
    refresh();
    for (const QAccessible::Id id : std::as_const(m_children)) {
        QAccessibleInterface* button = QAccessible::accessibleInterface(id);
        if (button && button->rect().contains(x, y))
            return button;
    }
    return nullptr;
}
