#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

// A private D-Bus session bus for the programs a benchmark starts. Every desktop session has
// one, with the accessibility bus already running on it; a toolkit that finds neither spends
// its start looking for them, which no user ever sees. Ended with the object.
class SessionBus {
public:
    // The command line that runs a program as the session's user.
    using CommandLine = std::function<QStringList(const QString&, const QStringList&)>;

    explicit SessionBus(CommandLine commandLine =
                            [](const QString& program, const QStringList& arguments) {
                                return QStringList{program} + arguments;
                            })
        : m_commandLine(std::move(commandLine)) {}
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    ~SessionBus() {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }

    // False, with the reason, when there is no bus to start.
    bool start(const QProcessEnvironment& environment, QString* problem) {
        m_daemon.setProcessEnvironment(environment);
        start(m_daemon, QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000)) {
            *problem = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        while (!m_daemon.canReadLine() && clock.elapsed() < 10000)
            m_daemon.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (m_address.isEmpty()) {
            *problem = QStringLiteral("dbus-daemon gave no address: ") +
                       QString::fromLocal8Bit(m_daemon.readAllStandardError());
            return false;
        }
        // The accessibility bus, started on demand by the first program that asks for it, as a
        // desktop's session start would have done.
        QProcess ask;
        QProcessEnvironment withBus = environment;
        addTo(withBus);
        ask.setProcessEnvironment(withBus);
        start(ask, QStringLiteral("dbus-send"),
              {QStringLiteral("--session"), QStringLiteral("--print-reply"),
               QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
               QStringLiteral("org.a11y.Bus.GetAddress")});
        const bool answered =
            ask.waitForFinished(10000) && ask.exitStatus() == QProcess::NormalExit && ask.exitCode() == 0;
        if (!answered)
            m_accessibilityProblem = QString::fromLocal8Bit(ask.readAllStandardError()).simplified();
        if (!answered && m_accessibilityProblem.isEmpty())
            m_accessibilityProblem = QStringLiteral("no answer");
        return true;
    }

    void addTo(QProcessEnvironment& environment) const {
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    }
    // How the bus is, in words for the benchmark's header.
    QString description() const {
        return m_accessibilityProblem.isEmpty()
                   ? QStringLiteral("with the accessibility bus running on it")
                   : QStringLiteral("the accessibility bus did not start on it: ") + m_accessibilityProblem;
    }

private:
    void start(QProcess& process, const QString& program, const QStringList& arguments) const {
        const QStringList command = m_commandLine(program, arguments);
        process.start(command.first(), command.mid(1));
    }

    CommandLine m_commandLine;
    QProcess m_daemon;
    QString m_address;
    QString m_accessibilityProblem;
};
