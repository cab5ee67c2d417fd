#include "platform/gnome/GnomeShellLink.h"

#include "platform/Log.h"
#include "platform/RuntimeFolder.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int callTimeoutMs = 5000;

// The secret, from a file that only this user could have written and can read.
QString readToken(QString* why) {
    const QString folder = RuntimeFolder::path(why);
    if (folder.isEmpty())
        return {};
    const QString file = folder + u'/' + GnomeShellLink::tokenFile;
    struct stat info {};
    if (::lstat(QFile::encodeName(file).constData(), &info) != 0) {
        *why = QStringLiteral("the GNOME Shell extension has not written its secret (%1)").arg(file);
        return {};
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        *why = QStringLiteral("%1 is not a private file of this user").arg(file);
        return {};
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1: %2").arg(file, in.errorString());
        return {};
    }
    return QString::fromLatin1(in.read(256)).trimmed();
}

std::optional<GnomeShellLink::Route> routeNamed(const QString& name) {
    using Route = GnomeShellLink::Route;
    if (name == QLatin1String("input-method"))
        return Route::InputMethod;
    if (name == QLatin1String("x11"))
        return Route::X11;
    if (name == QLatin1String("paste"))
        return Route::Paste;
    if (name == QLatin1String("none"))
        return Route::NoFocus;
    return std::nullopt;
}
} // namespace

GnomeShellLink::GnomeShellLink(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_watcher(service, bus, QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (std::exchange(m_claimed, false)) {
                    Log::line(
                        QStringLiteral("[GnomeShellLink] Runeboard's GNOME Shell extension has stopped; "
                                       "typing reaches X11 programs only until it is back."));
                    Q_EMIT lost();
                }
                QString why;
                if (newOwner.isEmpty())
                    return;
                if (!claim(&why)) {
                    Log::line(QStringLiteral("[GnomeShellLink] Runeboard's GNOME Shell extension is back but "
                                             "refuses Runeboard: %1")
                                  .arg(why));
                    return;
                }
                Log::line(QStringLiteral("[GnomeShellLink] Runeboard's GNOME Shell extension answers: typing "
                                         "reaches every program."));
                Q_EMIT reclaimed();
            });
    m_bus.connect(service, path, service, QStringLiteral("ShiftChanged"), this, SLOT(onShiftChanged(bool)));
    m_bus.connect(service, path, service, QStringLiteral("AcceleratorActivated"), this,
                  SLOT(onAcceleratorActivated(uint)));
}

QDBusMessage GnomeShellLink::method(const QString& name) const {
    return QDBusMessage::createMethodCall(service, path, service, name);
}

bool GnomeShellLink::claim(QString* why) {
    QString ignored;
    QString& reason = why ? *why : ignored;
    m_claimed = false;
    if (!m_bus.isConnected()) {
        reason = QStringLiteral("there is no session bus (%1)").arg(m_bus.lastError().message());
        return false;
    }
    const QString token = readToken(&reason);
    if (token.isEmpty())
        return false;
    const QDBusMessage reply =
        m_bus.call(method(QStringLiteral("Claim")) << token, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        reason = QStringLiteral("the GNOME Shell extension did not answer (%1)").arg(reply.errorMessage());
        return false;
    }
    const uint version = reply.arguments().value(0).toUInt();
    if (version < apiVersion) {
        reason = QStringLiteral("GNOME Shell still runs an older version of the extension (%1, not %2)")
                     .arg(version)
                     .arg(apiVersion);
        return false;
    }
    m_claimed = true;
    return true;
}

void GnomeShellLink::commit(const QString& text,
                            std::function<void(std::optional<Route>, const QString& why)> done) {
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(method(QStringLiteral("Commit")) << text, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<QString> reply = *watcher;
        if (reply.isError())
            return done(std::nullopt, QStringLiteral("the GNOME Shell extension did not take it (%1)")
                                          .arg(reply.error().message()));
        const std::optional<Route> route = routeNamed(reply.value());
        done(route, route ? QString()
                          : QStringLiteral("the GNOME Shell extension answered '%1'").arg(reply.value()));
    });
}

void GnomeShellLink::paste(const QList<uint>& keys, const QList<uint>& keysUnderShift, const QString& marker,
                           std::function<void(bool ok, const QString& why)> done) {
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(method(QStringLiteral("Paste"))
                            << QVariant::fromValue(keys) << QVariant::fromValue(keysUnderShift) << marker,
                        callTimeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        done(!reply.isError(),
             reply.isError()
                 ? QStringLiteral("the paste keys were not pressed (%1)").arg(reply.error().message())
                 : QString());
    });
}

std::optional<bool> GnomeShellLink::shiftHeld() {
    const QDBusMessage reply = m_bus.call(method(QStringLiteral("ShiftHeld")), QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments().value(0).toBool();
}

std::optional<uint> GnomeShellLink::grabAccelerator(const QString& accelerator, QString* why) {
    const QDBusMessage reply =
        m_bus.call(method(QStringLiteral("GrabAccelerator")) << accelerator, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        *why = reply.errorMessage();
        return std::nullopt;
    }
    return reply.arguments().value(0).toUInt();
}

void GnomeShellLink::ungrabAccelerator(uint action) {
    m_bus.send(method(QStringLiteral("UngrabAccelerator")) << action);
}

void GnomeShellLink::onShiftChanged(bool held) {
    Q_EMIT shiftChanged(held);
}

void GnomeShellLink::onAcceleratorActivated(uint action) {
    Q_EMIT acceleratorActivated(action);
}
