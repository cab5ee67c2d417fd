#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class PasteClipboard;
class PasteKeystroke;

// Types text by pasting it, for windows that take no text any other way. A
// receiver reads the clipboard only after the paste key, so a second paste
// sent before that read would overwrite the first: one paste is on its way at
// a time, the next waits until the receiver has read the text (or a time-out
// says it never will), and whatever waits meanwhile is joined into a single
// paste. The user's clipboard is copied before the first paste and put back
// once nothing has been pasted for a moment, unless the user copied something
// new in between.
class PasteQueue : public QObject {
    Q_OBJECT
public:
    struct Timing {
        // How long the receiver may take to read the text after the keys.
        int readTimeoutMs = 3000;
        // How long the clipboard keeps the last text before the user's comes back.
        int restoreDelayMs = 150;
    };

    PasteQueue(PasteClipboard& clipboard, PasteKeystroke& keystroke, Timing timing,
               QObject* parent = nullptr);
    PasteQueue(PasteClipboard& clipboard, PasteKeystroke& keystroke, QObject* parent = nullptr)
        : PasteQueue(clipboard, keystroke, Timing{}, parent) {}

    // Pastes the text after everything queued before it.
    void paste(const QString& text);
    // True while nothing waits to be pasted or read.
    bool isIdle() const {
        return m_waiting.isEmpty() && m_state != State::Sending && m_state != State::Reading;
    }
    // Drops what waits and puts the user's clipboard back: now, or once the last paste read has had
    // its moment (a receiver may still be reading it, and a new clipboard would cut that short).
    // Says finished() then.
    void finish();

Q_SIGNALS:
    // finish() has put the user's clipboard back.
    void finished();
    // Everything queued so far has been read, or reported as failed.
    void idle();
    // Text that did not arrive, and why (one plain sentence).
    void failed(const QString& text, const QString& why);

private:
    enum class State { Resting, Sending, Reading, Settling };

    void startNext();
    void onSent(bool ok, const QString& why);
    void onRead();
    void onReplaced();
    void done();
    void fail(const QString& why);
    void restore();

    PasteClipboard& m_clipboard;
    PasteKeystroke& m_keystroke;
    Timing m_timing;
    State m_state = State::Resting;
    QString m_waiting;
    QString m_current;
    bool m_saved = false;
    bool m_readEarly = false;
    bool m_finishing = false;
    QTimer m_readTimeout;
    QTimer m_restoreTimer;
};
