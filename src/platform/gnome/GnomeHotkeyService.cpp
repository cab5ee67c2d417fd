#include "platform/gnome/GnomeHotkeyService.h"

#include "platform/Log.h"
#include "platform/gnome/GnomeShellLink.h"

#include <cerrno>

namespace {
// X keycodes are evdev codes moved up by 8; the X protocol has no keycode past 255.
constexpr PhysicalKey xKeycodeOffset = 8;
constexpr PhysicalKey lastXKeycode = 255;
} // namespace

GnomeHotkeyService::GnomeHotkeyService(std::shared_ptr<GnomeShellLink> link,
                                       std::unique_ptr<HotkeyService> fallback, QObject* parent)
    : HotkeyService(parent)
    , m_link(std::move(link))
    , m_fallback(std::move(fallback)) {
    connect(m_link.get(), &GnomeShellLink::acceleratorActivated, this, [this](uint action) {
        for (const Grab& grab : std::as_const(m_grabs)) {
            if (grab.action == action)
                Q_EMIT hotkeyPressed(grab.id);
        }
    });
    if (m_fallback)
        connect(m_fallback.get(), &HotkeyService::hotkeyPressed, this, &HotkeyService::hotkeyPressed);
    connect(m_link.get(), &GnomeShellLink::reclaimed, this, &GnomeHotkeyService::moveAll);
    connect(m_link.get(), &GnomeShellLink::lost, this, &GnomeHotkeyService::moveAll);
}

GnomeHotkeyService::~GnomeHotkeyService() = default;

QString GnomeHotkeyService::accelerator(PhysicalKey key, HotkeyModifiers modifiers) {
    QString text;
    if (modifiers & HotkeyModifier::Shift)
        text += QStringLiteral("<Shift>");
    if (modifiers & HotkeyModifier::Control)
        text += QStringLiteral("<Control>");
    if (modifiers & HotkeyModifier::Alt)
        text += QStringLiteral("<Alt>");
    if (modifiers & HotkeyModifier::Super)
        text += QStringLiteral("<Super>");
    // mutter reads "0x" and at least two hex digits as a keycode; "0xa" would be a key name.
    return text + QStringLiteral("0x%1").arg(key + xKeycodeOffset, 2, 16, QLatin1Char('0'));
}

HotkeyService::Registration GnomeHotkeyService::registerHotkey(PhysicalKey key, HotkeyModifiers modifiers,
                                                               quint32 id) {
    if (key > lastXKeycode - xKeycodeOffset)
        return {EINVAL, 0};
    Grab added{key, modifiers, id};
    if (const int status = grab(added))
        return {status, 0};
    m_grabs.insert(++m_lastHandle, added);
    return {0, m_lastHandle};
}

void GnomeHotkeyService::unregisterHotkey(Handle handle) {
    auto it = m_grabs.find(handle);
    if (it == m_grabs.end())
        return;
    release(*it);
    m_grabs.erase(it);
}

int GnomeHotkeyService::grab(Grab& grab) {
    if (!m_link->isClaimed()) {
        if (!m_fallback)
            return EHOSTUNREACH;
        const Registration standIn = m_fallback->registerHotkey(grab.key, grab.modifiers, grab.id);
        grab.standIn = standIn.handle;
        return standIn.status;
    }
    const QString accelerator = GnomeHotkeyService::accelerator(grab.key, grab.modifiers);
    QString why;
    const std::optional<uint> action = m_link->grabAccelerator(accelerator, &why);
    if (!action) {
        Log::line(
            QStringLiteral("[GnomeHotkeyService] GNOME Shell did not grab %1: %2").arg(accelerator, why));
        return EHOSTUNREACH;
    }
    grab.action = *action;
    return *action ? 0 : EBUSY; // 0: another program's shortcut
}

void GnomeHotkeyService::release(Grab& grab) {
    if (grab.action && m_link->isClaimed())
        m_link->ungrabAccelerator(grab.action);
    if (grab.standIn && m_fallback)
        m_fallback->unregisterHotkey(grab.standIn);
    grab.action = 0;
    grab.standIn = 0;
}

void GnomeHotkeyService::moveAll() {
    // The extension forgot its grabs when it went away; the handles stay what they were.
    for (Grab& each : m_grabs) {
        release(each);
        if (const int status = grab(each))
            Log::line(QStringLiteral("[GnomeHotkeyService] Hotkey %1 lost: status %2")
                          .arg(accelerator(each.key, each.modifiers))
                          .arg(status));
    }
}
