#pragma once

#include "platform/paste/PasteKeystroke.h"

#include <QStringList>

// A paste keystroke that writes "keys" into a shared log and answers only when
// the test emits sent() itself.
class RecordingPasteKeystroke : public PasteKeystroke {
    Q_OBJECT
public:
    explicit RecordingPasteKeystroke(QStringList& log)
        : m_log(log) {}

    void send() override { m_log.append(QStringLiteral("keys")); }

private:
    QStringList& m_log;
};
