#pragma once

#include "platform/TypingSetup.h"
#include "platform/UserText.h"

// Whether KWin lends Runeboard its fake input, which pasting into Wayland
// programs needs. KWin lends it to a program that an installed desktop entry
// names by its absolute path (the package's menu entry does); a Runeboard run
// from elsewhere is turned on by writing such an entry for this very binary
// under the user's applications folder, after which KWin lends it to the next
// Runeboard started.
class KwinFakeInputSetup : public TypingSetup {
    Q_OBJECT
public:
    // `lent`: KWin offered fake input on this run; `clipboard`: and data-control.
    KwinFakeInputSetup(bool lent, bool clipboard, QObject* parent = nullptr);

    QString part() const override { return QStringLiteral("kde_fake_input"); }
    State state() const override { return m_state; }
    bool turnOn(QString* why) override;
    void refresh() override {}

    // What the launch check says; empty when typing reaches every program.
    UserText problem() const;

    // The entry that lets KWin lend fake input to the program at `executable`.
    static QByteArray entry(const QString& executable);
    // Where turnOn() writes it.
    static QString entryPath();

private:
    State m_state;
};
