#pragma once

#include <QString>

#include <functional>

class FocusLender;
class ViewClock;

// One text field of the keyboard from opening to closing: the add field and the
// set-name field are both one. Opening lends the panel the focus (see
// FocusLender) and gives the field the focus 100 ms later; what is typed is kept
// here, cut to the limit on the next turn when there is one. A commit does the
// owner's work and, when that succeeds, closes the field on the next turn; a
// cancel closes it at once. The widget is the owner's: the session tells it,
// through the hooks, when to appear, take the focus and show a cut text.
class EditSession {
public:
    static constexpr int focusDelayMs = 100;

    // `graphemeLimit` 0: no limit.
    EditSession(ViewClock& clock, FocusLender& lender, int graphemeLimit = 0);
    ~EditSession();
    EditSession(const EditSession&) = delete;
    EditSession& operator=(const EditSession&) = delete;

    bool isOpen() const { return m_open; }
    // The field has been given the focus since it opened.
    bool isFocused() const { return m_focused; }
    const QString& text() const { return m_text; }

    void open();
    // The field's text changed.
    void edit(const QString& text);
    void commit();
    void cancel();

    // The commit's work, given the text; true closes the field.
    std::function<bool(const QString& text)> onCommit;
    // The field appears (true) or goes (false); called before the focus is lent or given back.
    std::function<void(bool open)> onOpenChanged;
    // Give the field the keyboard focus.
    std::function<void()> onFocus;
    // The text was cut to the limit; the field should show it.
    std::function<void(const QString& text)> onCut;
    // Runs an opening or closing; the view runs them under its panel spring.
    std::function<void(const std::function<void()>& change)> animate;

private:
    void close();
    void run(const std::function<void()>& change);
    void cancelTasks();

    ViewClock& m_clock;
    FocusLender& m_lender;
    int m_limit;
    bool m_open = false;
    bool m_focused = false;
    QString m_text;
    int m_focusTask = -1;
    int m_cutTask = -1;
    int m_closeTask = -1;
};
