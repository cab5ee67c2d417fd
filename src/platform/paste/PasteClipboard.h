#pragma once

#include <QObject>
#include <QString>

// The clipboard as the paste route uses it: it fills it with the text to
// paste, sees when a program reads that text, and puts back what the user had.
class PasteClipboard : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~PasteClipboard() override = default;

    // Keeps a copy of what the clipboard holds now, for restore().
    virtual void save() = 0;
    // Puts the text on the clipboard, in place of whatever is there.
    virtual void offer(const QString& text) = 0;
    // Puts back the copy save() kept (an empty clipboard stays empty) and forgets it.
    virtual void restore() = 0;
    // Forgets the copy without putting it back.
    virtual void forget() = 0;

Q_SIGNALS:
    // A program has read the text of the last offer().
    void read();
    // Another program put something on the clipboard after offer(): that is what the user has now.
    void replaced();
};
