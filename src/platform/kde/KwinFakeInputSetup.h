#pragma once

#include "platform/TypingSetup.h"
#include "platform/UserText.h"

class InputMethodLink;

// Whether KWin lends Runeboard its fake input, which pasting into Wayland
// programs needs. KWin lends it to a program that an installed desktop entry
// names by its absolute path (the package's menu entry does); a Runeboard run
// from elsewhere is turned on by writing such an entry for this very binary
// under the user's applications folder, after which KWin lends it to the next
// Runeboard started.
//
// Beside it, Plasma offers Runeboard as its virtual keyboard (note()).
class KwinFakeInputSetup : public TypingSetup {
    Q_OBJECT
public:
    // `lent`: KWin offered fake input on this run; `clipboard`: and data-control; `inputMethod`
    // (may be null, else outlives this) reaches Runeboard as Plasma's virtual keyboard.
    KwinFakeInputSetup(bool lent, bool clipboard, const InputMethodLink* inputMethod = nullptr,
                       QObject* parent = nullptr);

    QString part() const override { return QStringLiteral("kde_fake_input"); }
    State state() const override { return m_state; }
    bool turnOn(QString* why) override;
    UserText note() const override;
    void refresh() override;

    // What the launch check says; empty when typing reaches every program.
    UserText problem() const;

    // The entry that lets KWin lend fake input to the program at `executable`.
    static QByteArray entry(const QString& executable);
    // `executable` as one word of an Exec= line.
    static QString execWord(QString executable);
    // Where turnOn() writes it.
    static QString entryPath();

private:
    bool inputMethodChosen() const;

    State m_state;
    const InputMethodLink* m_inputMethod;
    bool m_inputMethodChosen;
};
