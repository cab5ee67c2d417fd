#pragma once

#include "platform/paste/PasteClipboard.h"

#include <QStringList>

// A clipboard that writes what is done to it into a shared log; tests make
// programs read it or copy something of their own with read() and replaced().
class RecordingPasteClipboard : public PasteClipboard {
    Q_OBJECT
public:
    explicit RecordingPasteClipboard(QStringList& log)
        : m_log(log) {}

    void save() override { m_log.append(QStringLiteral("save")); }
    void offer(const QString& text) override { m_log.append(QStringLiteral("offer ") + text); }
    void restore() override { m_log.append(QStringLiteral("restore")); }
    void forget() override { m_log.append(QStringLiteral("forget")); }

private:
    QStringList& m_log;
};
