#pragma once

#include "keyboard/view/painting/KeyboardMetrics.h"

#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>

class FieldWindow;
class FocusLender;
class QLineEdit;
class QWidget;
class ViewClock;

// One text field of the keyboard from opening to closing: the add field and the
// set-name field are each one. Opening lends the panel the focus (see FocusLender),
// lays a fresh line edit over the field's face on the host and gives it the focus
// 100 ms later; what is typed is kept here, cut to the limit on the next turn when
// there is one. Return commits: the owner's work is done and, when that succeeds,
// the field closes on the next turn. Escape cancels, which closes it at once.
// Where the host's window can never take the focus, the line edit opens in a small
// window of its own (FieldWindow), whose closing cancels; the face then shows a copy
// of the text, since the window manager may put the window anywhere, even under the panel.
class TextField {
public:
    static constexpr int focusDelayMs = 100;

    // `graphemeLimit` 0: no limit. `placeholder` is asked at every opening, so it follows the language.
    TextField(ViewClock& clock, FocusLender& lender, QWidget& host, int graphemeLimit = 0,
              std::function<QString()> placeholder = {});
    ~TextField();
    TextField(const TextField&) = delete;
    TextField& operator=(const TextField&) = delete;

    bool isOpen() const { return m_open; }
    // The field has been given the focus since it opened.
    bool isFocused() const { return m_focused; }
    const QString& text() const { return m_text; }

    // From the next opening on, the field opens in a window of its own titled `title` (asked at each).
    void useOwnWindow(std::function<QString()> title);

    void open();
    void commit();
    void cancel();
    // Gives the line edit the keyboard focus (again, when another field closed).
    void takeFocus();

    // Lays the field over its face (view coordinates); hidden while the face is not
    // shown. A field in its own window only takes the size.
    void place(const QRectF& rect, const KeyboardMetrics& metrics);

    // The commit's work, given the text; true closes the field.
    std::function<bool(const QString& text)> onCommit;
    // What the field holds after each edit, and empty once it closes.
    std::function<void(const QString& text)> onEdited;
    // Runs an opening or closing; the view runs them under its panel spring.
    std::function<void(const std::function<void()>& change)> animate;

private:
    void edit(const QString& text);
    void close();
    void run(const std::function<void()>& change);
    void cancelTasks();
    void makeWidgets();
    void dropWidgets();

    ViewClock& m_clock;
    FocusLender& m_lender;
    QWidget& m_host;
    int m_limit;
    std::function<QString()> m_placeholder;
    std::function<QString()> m_windowTitle;
    bool m_open = false;
    bool m_focused = false;
    QString m_text;
    int m_focusTask = -1;
    int m_cutTask = -1;
    int m_closeTask = -1;

    QPointer<QLineEdit> m_edit;
    QPointer<FieldWindow> m_window;
    QPointer<QLineEdit> m_overFace; // the line edit itself, or the copy of its text
    KeyboardMetrics m_metrics = KeyboardMetrics::forSize(KeyboardSize::Compact);
};
