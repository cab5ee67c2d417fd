#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

#include "platform/HotkeyService.h"

class SettingsStore;

struct HotkeyDef {
    QString identifier; // "K", "1", "2" or "3"
    quint32 keyCode = 0;
    quint32 modifiers = 0;
    quint32 id = 0;
};

// Makes the four stored combinations work system-wide and hands the
// identifier of each press to its owner.
class GlobalHotkeyManager {
public:
    GlobalHotkeyManager(HotkeyService& service, SettingsStore& store);
    ~GlobalHotkeyManager();

    std::function<void(const QString&)> onHotkeyActivated;

    // Registers every non-empty stored combination (read afresh from the store).
    void registerFromSettings();
    void registerHotkeys(const QList<HotkeyDef>& definitions);
    void unregisterAll();

    const QHash<quint32, QString>& idToIdentifier() const { return m_idToIdentifier; }
    const QList<HotkeyService::Handle>& hotKeyRefs() const { return m_hotKeyRefs; }

private:
    void handlePressed(quint32 id);

    HotkeyService& m_service;
    SettingsStore& m_store;
    QList<HotkeyService::Handle> m_hotKeyRefs;
    QHash<quint32, QString> m_idToIdentifier;
    QMetaObject::Connection m_handler;
};
