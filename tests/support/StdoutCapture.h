#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// Collects what the code under test writes to standard output (its
// diagnostics go there), or to another descriptor such as standard error, for
// as long as it lives.
class StdoutCapture {
public:
    explicit StdoutCapture(int fd = STDOUT_FILENO)
        : m_fd(fd) {
        m_file.open();
        std::fflush(nullptr);
        m_saved = ::dup(m_fd);
        ::dup2(m_file.handle(), m_fd);
    }
    ~StdoutCapture() {
        std::fflush(nullptr);
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
    }

    // Everything written so far, as lines.
    QStringList lines() {
        std::fflush(nullptr);
        QFile reader(m_file.fileName());
        reader.open(QIODevice::ReadOnly);
        return QString::fromUtf8(reader.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QTemporaryFile m_file;
    int m_fd;
    int m_saved = -1;
};
