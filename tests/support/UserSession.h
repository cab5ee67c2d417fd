#pragma once

#include "SessionUser.h"
#include "XSession.h"

#include <QDirIterator>

// A compositor session that runs, with every program started in it, as the
// session user (see SessionUser) in a folder of its own.
class UserSession : public XSession {
public:
    UserSession() {
        // The temporary folder is root's and private; the session user works in it.
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
        for (const QString& path : {m_dir.path(), runtimeDir(), configHome()})
            SessionUser::own(path);
    }

    // Makes what root wrote under `path` the session user's.
    void handOver(const QString& path) {
        SessionUser::own(path);
        QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            SessionUser::own(it.next());
    }

protected:
    QStringList commandLine(const QString& program, const QStringList& arguments) const override {
        return SessionUser::commandLine(program, arguments);
    }
    // PATH, HOME, XDG_RUNTIME_DIR and XDG_CONFIG_HOME in the session's folder, a UTF-8 locale.
    QProcessEnvironment baseEnvironment() const {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        return env;
    }
};
