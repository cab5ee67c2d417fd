#include "app/TypingJob.h"

#include "platform/Log.h"
#include "platform/TypingBackend.h"

#include <algorithm>
#include <utility>

TypingJob::TypingJob(TypingBackend& backend, QObject* parent)
    : QObject(parent)
    , m_backend(backend) {}

void TypingJob::start(const QString& text) {
    // A backend that gives up on the rest of a text reports it as one piece.
    connect(&m_backend, &TypingBackend::deliveryFailed, this,
            [this](const QString& lost) { m_failures += int(std::max<qsizetype>(1, lost.toUcs4().size())); });
    if (!m_backend.type(text)) {
        // The callers have said why typing cannot work here; this is the rare case of it ending meanwhile.
        Log::line(QStringLiteral("[TypingJob] Cannot type: typing has ended"));
        ++m_failures;
    } else if (!m_backend.isIdle()) {
        connect(&m_backend, &TypingBackend::idle, this, &TypingJob::finish);
        return;
    }
    QMetaObject::invokeMethod(this, &TypingJob::finish, Qt::QueuedConnection);
}

void TypingJob::finish() {
    if (std::exchange(m_finished, true))
        return;
    disconnect(&m_backend, nullptr, this, nullptr);
    Q_EMIT finished(m_failures);
}
