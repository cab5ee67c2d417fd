#include "EditSession.h"

#include "keyboard/SymbolEditor.h"
#include "keyboard/view/fields/FocusLender.h"
#include "keyboard/view/timing/ViewClock.h"
#include "sets/SymbolSet.h"

EditSession::EditSession(ViewClock& clock, FocusLender& lender, int graphemeLimit)
    : m_clock(clock)
    , m_lender(lender)
    , m_limit(graphemeLimit) {}

EditSession::~EditSession() {
    cancelTasks();
}

void EditSession::cancelTasks() {
    for (int* task : {&m_focusTask, &m_cutTask, &m_closeTask}) {
        if (*task >= 0)
            m_clock.cancel(*task);
        *task = -1;
    }
}

void EditSession::run(const std::function<void()>& change) {
    if (animate)
        animate(change);
    else
        change();
}

void EditSession::open() {
    run([this] {
        m_text.clear();
        if (m_open)
            return;
        m_open = true;
        if (onOpenChanged)
            onOpenChanged(true);
        m_focusTask = m_clock.schedule(focusDelayMs, [this] {
            m_focusTask = -1;
            m_focused = true;
            if (onFocus)
                onFocus();
        });
        m_lender.lend(*this);
    });
}

void EditSession::edit(const QString& text) {
    m_text = text;
    if (m_limit <= 0 || m_cutTask >= 0 || SymbolSet::graphemes(text).size() <= m_limit)
        return;
    m_cutTask = m_clock.schedule(0, [this] {
        m_cutTask = -1;
        m_text = SymbolEditor::leftGraphemes(m_text, m_limit);
        if (onCut)
            onCut(m_text);
    });
}

void EditSession::commit() {
    // A second Return before the field has closed would add the symbol, or save the set, twice.
    if (!m_open || m_closeTask >= 0)
        return;
    if (onCommit && !onCommit(m_text))
        return;
    m_closeTask = m_clock.schedule(0, [this] {
        m_closeTask = -1;
        cancel();
    });
}

void EditSession::cancel() {
    run([this] { close(); });
}

void EditSession::close() {
    m_text.clear();
    if (!m_open)
        return;
    m_open = false;
    m_focused = false;
    cancelTasks();
    if (onOpenChanged)
        onOpenChanged(false);
    m_lender.giveBack(*this);
}
