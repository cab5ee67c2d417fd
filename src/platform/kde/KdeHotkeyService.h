#pragma once

#include "platform/HotkeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>

// Hotkeys on KDE Plasma on Wayland, where no program may grab keys: each
// combination is a shortcut of the "runeboard" component in KDE's global
// shortcuts (the kglobalaccel service that KWin hosts), which fires whichever
// window has the focus and shows in System Settings → Shortcuts, with the
// defaults to go back to. Keys recorded in Runeboard are given to the service;
// keys given there become the recorded ones. A combination another component
// holds is refused. Without the service the X11 grabs stand in (they fire only while
// an X11 window has the focus).
class KdeHotkeyService : public HotkeyService {
    Q_OBJECT
public:
    static inline const QString component = QStringLiteral("runeboard");

    KdeHotkeyService(QDBusConnection bus, std::unique_ptr<HotkeyService> fallback, QObject* parent = nullptr);
    ~KdeHotkeyService() override;

    Registration registerHotkey(PhysicalKey key, HotkeyModifiers modifiers, quint32 id) override;
    void unregisterHotkey(Handle handle) override;
    void describeDefault(quint32 id, PhysicalKey key, HotkeyModifiers modifiers) override;

    // Qt's key codes with modifiers, as the service takes them, for the key on the us layout; empty
    // for a key that has none. With Shift, a key whose shifted symbol is not its own upper case comes
    // in a second form too, as KWin names the pressed combination: Alt+Shift+2 is Alt+@.
    static QList<int> qtKeys(PhysicalKey key, HotkeyModifiers modifiers);
    // The key and modifiers of one of Qt's key codes, as qtKeys() gives it; nothing for a code no
    // key of the us layout makes.
    static std::optional<std::pair<PhysicalKey, HotkeyModifiers>> fromQtKey(int code);
    // The service's name for the action with this id and the words System Settings shows for it.
    static QStringList actionId(quint32 id);

private Q_SLOTS:
    void onPressed(const QString& componentUnique, const QString& actionUnique, qlonglong timestamp);
    void onChangedOutside(const QDBusMessage& message);

private:
    struct Grab {
        quint32 id = 0;
        Handle standIn = 0; // the fallback's, when it holds the grab
        QList<int> keys;    // as given to the service
    };

    bool setKeys(const QStringList& action, const QList<int>& keys, QList<int>* taken);

    QDBusConnection m_bus;
    std::unique_ptr<HotkeyService> m_fallback;
    bool m_available = false;
    QHash<Handle, Grab> m_grabs;
    Handle m_lastHandle = 0;
};
