#include "platform/kde/KdeHotkeyService.h"

#include "platform/Log.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>

#include <cerrno>
#include <xkbcommon/xkbcommon.h>

namespace {
const QString service = QStringLiteral("org.kde.kglobalaccel");
const QString path = QStringLiteral("/kglobalaccel");
const QString interface = QStringLiteral("org.kde.KGlobalAccel");
// KGlobalAccel's flags: make the keys active now, and not the ones the service remembers; or
// only name the keys System Settings goes back to.
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;
constexpr uint isDefault = 8;
QDBusMessage kglobalaccel(const QString& method) {
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

// In the order of the keyboard's actions (src/hotkeys' KeyboardAction).
const QStringList actionNames{QStringLiteral("toggle-keyboard"), QStringLiteral("quick-set-1"),
                              QStringLiteral("quick-set-2"), QStringLiteral("quick-set-3")};
// X keycodes are evdev codes moved up by 8.
constexpr PhysicalKey xKeycodeOffset = 8;

constexpr std::pair<HotkeyModifier, int> modifierPairs[] = {{HotkeyModifier::Shift, Qt::ShiftModifier},
                                                            {HotkeyModifier::Control, Qt::ControlModifier},
                                                            {HotkeyModifier::Alt, Qt::AltModifier},
                                                            {HotkeyModifier::Super, Qt::MetaModifier}};

// Qt's code for a keysym without text of its own; 0 for one Qt has no code for here.
int specialKey(xkb_keysym_t sym) {
    if (sym >= XKB_KEY_F1 && sym <= XKB_KEY_F35)
        return Qt::Key_F1 + int(sym - XKB_KEY_F1);
    switch (sym) {
    case XKB_KEY_Escape:
        return Qt::Key_Escape;
    case XKB_KEY_Tab:
        return Qt::Key_Tab;
    case XKB_KEY_BackSpace:
        return Qt::Key_Backspace;
    case XKB_KEY_Return:
        return Qt::Key_Return;
    case XKB_KEY_Insert:
        return Qt::Key_Insert;
    case XKB_KEY_Delete:
        return Qt::Key_Delete;
    case XKB_KEY_Home:
        return Qt::Key_Home;
    case XKB_KEY_End:
        return Qt::Key_End;
    case XKB_KEY_Prior:
        return Qt::Key_PageUp;
    case XKB_KEY_Next:
        return Qt::Key_PageDown;
    case XKB_KEY_Left:
        return Qt::Key_Left;
    case XKB_KEY_Up:
        return Qt::Key_Up;
    case XKB_KEY_Right:
        return Qt::Key_Right;
    case XKB_KEY_Down:
        return Qt::Key_Down;
    case XKB_KEY_space:
        return Qt::Key_Space;
    default:
        return 0;
    }
}
} // namespace

KdeHotkeyService::KdeHotkeyService(QDBusConnection bus, std::unique_ptr<HotkeyService> fallback,
                                   QObject* parent)
    : HotkeyService(parent)
    , m_bus(std::move(bus))
    , m_fallback(std::move(fallback)) {
    m_available = m_bus.isConnected() && m_bus.interface()->isServiceRegistered(service);
    if (m_fallback)
        connect(m_fallback.get(), &HotkeyService::hotkeyPressed, this, &HotkeyService::hotkeyPressed);
    if (!m_available) {
        Log::line(QStringLiteral("[KdeHotkeyService] KDE's global shortcuts (kglobalaccel) do not answer; "
                                 "hotkeys fire only while an X11 window has the focus"));
        return;
    }
    const QDBusReply<QDBusObjectPath> object =
        m_bus.call(kglobalaccel(QStringLiteral("getComponent")) << component);
    // The component exists once an action is registered; its signal is the same path either way.
    const QString componentPath =
        object.isValid() ? object.value().path() : QStringLiteral("/component/") + component;
    m_bus.connect(service, componentPath, QStringLiteral("org.kde.kglobalaccel.Component"),
                  QStringLiteral("globalShortcutPressed"), this,
                  SLOT(onPressed(QString, QString, qlonglong)));
    // Sent when System Settings (or any other program) gives one of Runeboard's actions other keys.
    if (!m_bus.connect(service, path, interface, QStringLiteral("yourShortcutsChanged"), this,
                       SLOT(onChangedOutside(QDBusMessage))))
        Log::line(QStringLiteral("[KdeHotkeyService] Keys given in System Settings are not followed: %1")
                      .arg(m_bus.lastError().message()));
}

KdeHotkeyService::~KdeHotkeyService() = default;

QStringList KdeHotkeyService::actionId(quint32 id) {
    static const QStringList titles{
        QStringLiteral("Show or hide the keyboard"), QStringLiteral("Switch to quick-access set 1"),
        QStringLiteral("Switch to quick-access set 2"), QStringLiteral("Switch to quick-access set 3")};
    const bool known = id < quint32(actionNames.size());
    return {component, known ? actionNames.at(id) : QStringLiteral("action-%1").arg(id),
            QStringLiteral("Runeboard"), known ? titles.at(id) : QStringLiteral("Action %1").arg(id)};
}

QList<int> KdeHotkeyService::qtKeys(PhysicalKey key, HotkeyModifiers modifiers) {
    static const auto keymap = [] {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
        const xkb_rule_names us{"evdev", "pc105", "us", "", ""};
        xkb_keymap* map =
            context ? xkb_keymap_new_from_names(context, &us, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
        if (context)
            xkb_context_unref(context);
        return map;
    }();
    const auto codeAt = [&](xkb_level_index_t level) {
        const xkb_keysym_t* syms = nullptr;
        if (!keymap || xkb_keymap_key_get_syms_by_level(keymap, key + xKeycodeOffset, 0, level, &syms) < 1)
            return 0;
        if (const int special = specialKey(syms[0]))
            return special;
        const char32_t text = xkb_keysym_to_utf32(syms[0]);
        // Qt's codes of printable ASCII are the upper-case characters.
        return text > 0x20 && text < 0x7f ? int(QChar::toUpper(text)) : 0;
    };
    int held = 0;
    for (const auto& [modifier, qt] : modifierPairs) {
        if (modifiers & modifier)
            held |= qt;
    }
    const int plain = codeAt(0);
    if (!plain)
        return {};
    QList<int> codes{plain | held};
    const int shifted = codeAt(1);
    // KWin drops Shift when it made the symbol: Shift+2 reaches the shortcuts as @ alone.
    if ((modifiers & HotkeyModifier::Shift) && shifted && shifted != plain)
        codes.append(shifted | (held & ~int(Qt::ShiftModifier)));
    return codes;
}

std::optional<std::pair<PhysicalKey, HotkeyModifiers>> KdeHotkeyService::fromQtKey(int code) {
    HotkeyModifiers modifiers;
    for (const auto& [modifier, qt] : modifierPairs) {
        if (code & qt)
            modifiers |= modifier;
    }
    // Alt+@ is Alt+Shift+2 as KWin names it: the Shift that made the symbol is not in the code.
    for (const HotkeyModifiers tried : {modifiers, modifiers | HotkeyModifier::Shift}) {
        for (PhysicalKey key = 1; key < 256; ++key) {
            if (qtKeys(key, tried).contains(code))
                return std::pair{key, tried};
        }
    }
    return std::nullopt;
}

void KdeHotkeyService::describeDefault(quint32 id, PhysicalKey key, HotkeyModifiers modifiers) {
    const QList<int> codes = qtKeys(key, modifiers);
    if (!m_available || codes.isEmpty())
        return;
    const QStringList action = actionId(id);
    // Nothing waits on the answers, so start-up does not either; the bus keeps the two in order.
    m_bus.send(kglobalaccel(QStringLiteral("doRegister")) << action);
    m_bus.send(kglobalaccel(QStringLiteral("setShortcut"))
               << action << QVariant::fromValue(codes) << isDefault);
}

bool KdeHotkeyService::setKeys(const QStringList& action, const QList<int>& keys, QList<int>* taken) {
    const QDBusReply<QList<int>> reply =
        m_bus.call(kglobalaccel(QStringLiteral("setShortcut"))
                   << action << QVariant::fromValue(keys) << (setPresent | noAutoloading));
    if (!reply.isValid()) {
        Log::line(QStringLiteral("[KdeHotkeyService] KDE's global shortcuts refused %1: %2")
                      .arg(action.at(1), reply.error().message()));
        return false;
    }
    if (taken)
        *taken = reply.value();
    return true;
}

HotkeyService::Registration KdeHotkeyService::registerHotkey(PhysicalKey key, HotkeyModifiers modifiers,
                                                             quint32 id) {
    if (!m_available) {
        if (!m_fallback)
            return {EHOSTUNREACH, 0};
        const Registration standIn = m_fallback->registerHotkey(key, modifiers, id);
        if (standIn.status == 0)
            m_grabs.insert(++m_lastHandle, {id, standIn.handle, {}});
        return standIn.status ? standIn : Registration{0, m_lastHandle};
    }
    const QList<int> codes = qtKeys(key, modifiers);
    if (codes.isEmpty())
        return {EINVAL, 0};
    const QStringList action = actionId(id);
    m_bus.call(kglobalaccel(QStringLiteral("doRegister")) << action);
    QList<int> taken;
    if (!setKeys(action, codes, &taken))
        return {EHOSTUNREACH, 0};
    // The service keeps a combination another component has and gives this action nothing.
    if (!taken.contains(codes.first()))
        return {EBUSY, 0};
    m_grabs.insert(++m_lastHandle, {id, 0, codes});
    return {0, m_lastHandle};
}

void KdeHotkeyService::unregisterHotkey(Handle handle) {
    const auto it = m_grabs.constFind(handle);
    if (it == m_grabs.cend())
        return;
    const Grab grab = *it;
    m_grabs.erase(it);
    if (grab.standIn && m_fallback)
        return m_fallback->unregisterHotkey(grab.standIn);
    // The action stays listed in System Settings, without keys: the combination goes back to the programs.
    setKeys(actionId(grab.id), {}, nullptr);
}

void KdeHotkeyService::onPressed(const QString& componentUnique, const QString& actionUnique, qlonglong) {
    if (componentUnique != component)
        return;
    for (const Grab& grab : std::as_const(m_grabs)) {
        if (actionId(grab.id).at(1) == actionUnique)
            Q_EMIT hotkeyPressed(grab.id);
    }
}

void KdeHotkeyService::onChangedOutside(const QDBusMessage& message) {
    // (as actionId, a(ai) keys): the action's key sequences, each up to four of Qt's key codes.
    const QStringList action = message.arguments().value(0).toStringList();
    const qsizetype id = actionNames.indexOf(action.value(1));
    if (action.value(0) != component || id < 0)
        return;
    QList<QList<int>> sequences;
    const QVariant keys = message.arguments().value(1);
    if (keys.canConvert<QDBusArgument>()) {
        const QDBusArgument argument = keys.value<QDBusArgument>();
        argument.beginArray();
        while (!argument.atEnd()) {
            QList<int> sequence;
            argument.beginStructure();
            argument >> sequence;
            argument.endStructure();
            sequence.removeAll(0);
            if (!sequence.isEmpty())
                sequences.append(sequence);
        }
        argument.endArray();
    }
    if (sequences.isEmpty()) {
        Q_EMIT changedOutside(quint32(id), 0, {});
        return;
    }
    // The first shortcut counts; a sequence of several combinations has no place among hotkeys.
    const auto combination =
        sequences.first().size() == 1 ? fromQtKey(sequences.first().first()) : std::nullopt;
    if (combination) {
        Q_EMIT changedOutside(quint32(id), combination->first, combination->second);
        return;
    }
    Log::line(QStringLiteral(
                  "[KdeHotkeyService] %1 was given keys Runeboard cannot use as a hotkey; it keeps its own")
                  .arg(action.value(1)));
    for (const Grab& grab : std::as_const(m_grabs)) {
        if (grab.id == quint32(id) && !grab.standIn)
            setKeys(action, grab.keys, nullptr);
    }
}
