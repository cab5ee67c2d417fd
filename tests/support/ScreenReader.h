#pragma once

#include "XSession.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <algorithm>

// What a screen reader finds of Runeboard over AT-SPI, on a private session bus
// of the X session: the accessibility bus it names, the objects of the
// application named Runeboard, and their actions. The connection to the
// accessibility bus is kept as "a11y" until disconnect().
class ScreenReader {
public:
    struct Object {
        QString service;
        QString path;
        QString name;
    };

    // Starts the private session bus; its address is empty on failure.
    explicit ScreenReader(XSession& session) {
        QProcess* bus =
            session.launch(QStringLiteral("dbus-daemon"),
                           XSession::words(QStringLiteral("--session --nofork --print-address=1")));
        if (XSession::waitFor([&] { return bus->canReadLine(); }))
            m_sessionBus = QString::fromUtf8(bus->readLine()).trimmed();
    }
    ~ScreenReader() { disconnect(); }

    // The environment in which a program's accessibility reaches this reader.
    QProcessEnvironment environment(QProcessEnvironment env) const {
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_sessionBus);
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        return env;
    }
    bool isRunning() const { return !m_sessionBus.isEmpty(); }

    // Every object of the application, or only those on screen (AT-SPI state 25 is "showing").
    QList<Object> objects(bool shownOnly) {
        QList<Object> found;
        const QDBusConnection a11y = connection();
        const QString root = QStringLiteral("/org/a11y/atspi/accessible/root");
        for (const QString& service : a11y.interface()->registeredServiceNames().value()) {
            if (service.startsWith(u':') && nameOf(a11y, service, root) == QLatin1String("Runeboard"))
                collect(a11y, service, root, shownOnly, found);
        }
        return found;
    }
    QStringList names(bool shownOnly) {
        QStringList names;
        for (const Object& object : objects(shownOnly))
            names.append(object.name);
        return names;
    }
    // Waits until all these names are among the application's objects; says what it found otherwise.
    bool findsAll(const QStringList& expected, bool shownOnly) {
        QStringList found;
        const bool all = XSession::waitFor([&] {
            found = names(shownOnly);
            disconnect(); // a fresh connection each time: the application's objects come and go
            return std::ranges::all_of(expected, [&](const QString& name) { return found.contains(name); });
        });
        if (!all)
            qWarning("The screen reader finds: %s", qPrintable(found.join(QStringLiteral(" | "))));
        return all;
    }
    // Runs an object's first action, as a screen reader's "press" does.
    bool press(const Object& object) {
        return call(connection(), object.service, object.path, QStringLiteral("org.a11y.atspi.Action"),
                    QStringLiteral("DoAction"), {0})
            .toBool();
    }
    void disconnect() {
        QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
        QDBusConnection::disconnectFromBus(QStringLiteral("session"));
    }

private:
    static inline const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");

    QDBusConnection connection() {
        const QDBusConnection session =
            QDBusConnection::connectToBus(m_sessionBus, QStringLiteral("session"));
        const QString address = call(session, QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                     QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"))
                                    .toString();
        return QDBusConnection::connectToBus(address, QStringLiteral("a11y"));
    }

    // One call's first answer; nothing when the object does not answer in time.
    static QVariant call(QDBusConnection bus, const QString& service, const QString& path,
                         const QString& interface, const QString& method,
                         const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 2000).arguments().value(0);
    }
    static QString nameOf(QDBusConnection bus, const QString& service, const QString& path) {
        const QVariant name = call(bus, service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("Get"), {accessible, QStringLiteral("Name")});
        return qdbus_cast<QDBusVariant>(name).variant().toString();
    }
    static void collect(QDBusConnection bus, const QString& service, const QString& path, bool shownOnly,
                        QList<Object>& found) {
        found.append({service, path, nameOf(bus, service, path)});
        const QDBusArgument children =
            call(bus, service, path, accessible, QStringLiteral("GetChildren")).value<QDBusArgument>();
        children.beginArray();
        while (!children.atEnd()) {
            QString childService;
            QDBusObjectPath child;
            children.beginStructure();
            children >> childService >> child;
            children.endStructure();
            const auto state = qdbus_cast<QList<quint32>>(
                call(bus, childService, child.path(), accessible, QStringLiteral("GetState")));
            if (!shownOnly || (state.value(0) & (1u << 25)))
                collect(bus, childService, child.path(), shownOnly, found);
        }
        children.endArray();
    }

    QString m_sessionBus;
};
