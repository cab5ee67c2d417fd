#include "platform/gnome/GnomeShiftMonitor.h"

#include "platform/gnome/GnomeShellLink.h"

GnomeShiftMonitor::GnomeShiftMonitor(std::shared_ptr<GnomeShellLink> link,
                                     std::unique_ptr<ModifierMonitor> fallback, QObject* parent)
    : ModifierMonitor(parent)
    , m_link(std::move(link))
    , m_fallback(std::move(fallback)) {}

GnomeShiftMonitor::~GnomeShiftMonitor() = default;

bool GnomeShiftMonitor::start() {
    if (std::exchange(m_started, true))
        return true;
    connect(m_link.get(), &GnomeShellLink::shiftChanged, this, &ModifierMonitor::shiftChanged);
    // A shell that came back reports changes only from then on.
    connect(m_link.get(), &GnomeShellLink::reclaimed, this, &GnomeShiftMonitor::askNow);
    connect(m_link.get(), &GnomeShellLink::lost, this, [this] { Q_EMIT shiftChanged(false); });
    if (m_fallback) {
        connect(m_fallback.get(), &ModifierMonitor::shiftChanged, this, [this](bool pressed) {
            if (!m_link->isClaimed())
                Q_EMIT shiftChanged(pressed);
        });
        m_fallback->start();
    }
    if (m_link->isClaimed())
        QMetaObject::invokeMethod(this, &GnomeShiftMonitor::askNow, Qt::QueuedConnection);
    return m_link->isClaimed() || m_fallback;
}

bool GnomeShiftMonitor::followsEveryWindow() const {
    return m_link->isClaimed();
}

void GnomeShiftMonitor::askNow() {
    Q_EMIT shiftChanged(m_link->shiftHeld().value_or(false));
}
