#pragma once

#include <QObject>
#include <QString>

// The keystroke that makes the focused window paste the clipboard.
class PasteKeystroke : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PasteKeystroke() override = default;

    // Presses the paste keys once the clipboard offers the text; answers with sent().
    virtual void send() = 0;

Q_SIGNALS:
    // The keys were pressed (ok), or could not be, and why.
    void sent(bool ok, const QString& why);
};
