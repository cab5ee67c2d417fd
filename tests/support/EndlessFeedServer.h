#pragma once

#include <QThread>

#include <atomic>

// A hostile feed server on its own thread, as a remote one would be: answers
// the first request with a chunked body that never ends, as fast as the client
// takes it, until the client hangs up or 256 MB have gone out.
class EndlessFeedServer : public QThread {
public:
    ~EndlessFeedServer() override;

    // Starts listening; the address serves the endless body.
    QString url();
    // What the client has taken off the wire, the kernel's socket buffers included.
    qint64 bytesSent() const { return m_sent; }

protected:
    void run() override;

private:
    std::atomic<qint64> m_sent{0};
    std::atomic<quint16> m_port{0};
};
