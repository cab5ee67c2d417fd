#include "platform/paste/PasteQueue.h"

#include "platform/paste/PasteClipboard.h"
#include "platform/paste/PasteKeystroke.h"

#include <utility>

PasteQueue::PasteQueue(PasteClipboard& clipboard, PasteKeystroke& keystroke, Timing timing, QObject* parent)
    : QObject(parent)
    , m_clipboard(clipboard)
    , m_keystroke(keystroke)
    , m_timing(timing) {
    m_readTimeout.setSingleShot(true);
    m_restoreTimer.setSingleShot(true);
    connect(&m_readTimeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("the focused window did not paste it (it never read the clipboard)"));
    });
    connect(&m_restoreTimer, &QTimer::timeout, this, &PasteQueue::restore);
    connect(&m_keystroke, &PasteKeystroke::sent, this, &PasteQueue::onSent);
    connect(&m_clipboard, &PasteClipboard::read, this, &PasteQueue::onRead);
    connect(&m_clipboard, &PasteClipboard::replaced, this, &PasteQueue::onReplaced);
}

void PasteQueue::paste(const QString& text) {
    if (text.isEmpty())
        return;
    m_waiting += text;
    if (m_state == State::Resting || m_state == State::Settling)
        startNext();
}

void PasteQueue::startNext() {
    m_restoreTimer.stop();
    if (!m_saved) {
        m_clipboard.save();
        m_saved = true;
    }
    m_current = std::exchange(m_waiting, QString());
    m_readEarly = false;
    m_state = State::Sending;
    m_clipboard.offer(m_current);
    m_keystroke.send();
}

void PasteQueue::onSent(bool ok, const QString& why) {
    if (m_state != State::Sending)
        return;
    if (!ok)
        return fail(why);
    // The receiver may have read before the answer that the keys were pressed came back.
    if (m_readEarly)
        return done();
    m_state = State::Reading;
    m_readTimeout.start(m_timing.readTimeoutMs);
}

void PasteQueue::onRead() {
    if (m_state == State::Sending)
        m_readEarly = true;
    else if (m_state == State::Reading)
        done();
}

void PasteQueue::onReplaced() {
    // What the user copied meanwhile is theirs now; the old copy must not come back over it.
    if (m_saved)
        m_clipboard.forget();
    m_saved = false;
    if (m_state == State::Settling)
        restore(); // nothing left to put back; a finish() waiting for it ends
}

void PasteQueue::fail(const QString& why) {
    // Said before idle(), so that whoever counts failures until then counts this one.
    Q_EMIT failed(m_current, why);
    done();
}

void PasteQueue::done() {
    m_readTimeout.stop();
    m_current.clear();
    if (!m_waiting.isEmpty())
        return startNext();
    m_state = State::Settling;
    m_restoreTimer.start(m_timing.restoreDelayMs);
    Q_EMIT idle();
}

void PasteQueue::restore() {
    m_restoreTimer.stop();
    if (m_saved)
        m_clipboard.restore();
    m_saved = false;
    m_state = State::Resting;
    if (std::exchange(m_finishing, false))
        Q_EMIT finished();
}

void PasteQueue::finish() {
    m_waiting.clear();
    m_current.clear();
    m_readTimeout.stop();
    m_finishing = true;
    // GTK 3 drops a read still under way when the clipboard changes hands.
    if (m_state == State::Settling && m_restoreTimer.isActive())
        return;
    restore();
}
