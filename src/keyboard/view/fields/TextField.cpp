#include "TextField.h"

#include "keyboard/SymbolEditor.h"
#include "keyboard/view/fields/FieldWindow.h"
#include "keyboard/view/fields/FocusLender.h"
#include "keyboard/view/painting/KeyboardPainter.h"
#include "keyboard/view/timing/ViewClock.h"
#include "sets/SymbolSet.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

// A borderless, transparent line edit in white with centred text, lying over a
// painted face. Return and Escape are its confirm and cancel keys.
class FaceLineEdit : public QLineEdit {
public:
    explicit FaceLineEdit(QWidget* parent)
        : QLineEdit(parent) {
        setFrame(false);
        setAlignment(Qt::AlignCenter);
        setAttribute(Qt::WA_TranslucentBackground);
        setAutoFillBackground(false);
        setTextMargins(6, 0, 6, 0);
        setStyleSheet(QStringLiteral(
            "QLineEdit { background: transparent; border: none; color: white;"
            " selection-background-color: rgba(89, 140, 191, 200); selection-color: white; }"));
        QPalette p = palette();
        p.setColor(QPalette::Text, Qt::white);
        p.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 110));
        setPalette(p);
        setContextMenuPolicy(Qt::NoContextMenu);
    }

    std::function<void()> onConfirm;
    std::function<void()> onCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (onConfirm)
                onConfirm();
            event->accept();
            return;
        case Qt::Key_Escape:
            if (onCancel)
                onCancel();
            event->accept();
            return;
        default:
            QLineEdit::keyPressEvent(event);
        }
    }
};

// The text's pixel size (fractional sizes allowed).
void setPixelSize(QLineEdit& line, qreal pixelSize) {
    line.setFont(KeyboardPainter::font(pixelSize, 400, line.logicalDpiY()));
}

} // namespace

TextField::TextField(ViewClock& clock, FocusLender& lender, QWidget& host, int graphemeLimit,
                     std::function<QString()> placeholder)
    : m_clock(clock)
    , m_lender(lender)
    , m_host(host)
    , m_limit(graphemeLimit)
    , m_placeholder(std::move(placeholder)) {}

TextField::~TextField() {
    cancelTasks();
}

void TextField::useOwnWindow(std::function<QString()> title) {
    m_windowTitle = std::move(title);
}

void TextField::cancelTasks() {
    for (int* task : {&m_focusTask, &m_cutTask, &m_closeTask}) {
        if (*task >= 0)
            m_clock.cancel(*task);
        *task = -1;
    }
}

void TextField::run(const std::function<void()>& change) {
    if (animate)
        animate(change);
    else
        change();
}

void TextField::open() {
    run([this] {
        m_text.clear();
        if (m_open)
            return;
        m_open = true;
        makeWidgets();
        m_focusTask = m_clock.schedule(focusDelayMs, [this] {
            m_focusTask = -1;
            m_focused = true;
            takeFocus();
        });
        m_lender.lend(*this);
    });
}

void TextField::takeFocus() {
    if (m_edit)
        m_edit->setFocus(Qt::OtherFocusReason);
}

void TextField::edit(const QString& text) {
    m_text = text;
    if (onEdited)
        onEdited(m_text);
    if (m_limit <= 0 || m_cutTask >= 0 || SymbolSet::graphemes(text).size() <= m_limit)
        return;
    m_cutTask = m_clock.schedule(0, [this] {
        m_cutTask = -1;
        m_text = SymbolEditor::leftGraphemes(m_text, m_limit);
        if (m_edit && m_edit->text() != m_text)
            m_edit->setText(m_text);
    });
}

void TextField::commit() {
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

void TextField::cancel() {
    run([this] { close(); });
}

void TextField::close() {
    m_text.clear();
    if (!m_open)
        return;
    m_open = false;
    m_focused = false;
    cancelTasks();
    dropWidgets();
    if (onEdited)
        onEdited(QString());
    m_lender.giveBack(*this);
}

void TextField::makeWidgets() {
    if (m_windowTitle)
        m_window = new FieldWindow(m_host, m_windowTitle());
    auto* line = new FaceLineEdit(m_window ? static_cast<QWidget*>(m_window) : &m_host);
    m_edit = line;
    m_overFace = m_window ? new FaceLineEdit(&m_host) : line;
    for (QLineEdit* shown : {m_edit.data(), m_overFace.data()}) {
        setPixelSize(*shown, m_metrics.fontSize);
        if (m_placeholder)
            shown->setPlaceholderText(m_placeholder());
    }
    QObject::connect(line, &QLineEdit::textChanged, &m_host, [this](const QString& text) { edit(text); });
    line->onConfirm = [this] { commit(); };
    line->onCancel = [this] { cancel(); };
    if (m_window) {
        m_overFace->setReadOnly(true);
        m_overFace->setFocusPolicy(Qt::NoFocus);
        m_overFace->setAttribute(Qt::WA_TransparentForMouseEvents);
        QObject::connect(line, &QLineEdit::textChanged, m_overFace, &QLineEdit::setText);
        QObject::connect(m_window, &FieldWindow::closeRequested, &m_host, [this] { cancel(); });
        m_window->hold(*line, m_metrics);
        // Typing goes to the line edit as soon as the window manager focuses the window.
        line->setFocus(Qt::OtherFocusReason);
        m_window->showBeside(QRect(m_host.mapToGlobal(QPoint()), m_host.size()));
    }
    m_overFace->show();
}

void TextField::dropWidgets() {
    // One of them may be the sender of the key press that closes the field.
    for (QWidget* widget : {static_cast<QWidget*>(m_window.data()), static_cast<QWidget*>(m_overFace.data())})
        if (widget) {
            widget->hide();
            widget->deleteLater();
        }
    m_edit = nullptr;
    m_window = nullptr;
    m_overFace = nullptr;
}

void TextField::place(const QRectF& rect, const KeyboardMetrics& metrics) {
    if (m_window && m_edit && metrics.keySize != m_metrics.keySize) {
        m_window->hold(*m_edit, metrics);
        setPixelSize(*m_edit, metrics.fontSize);
    }
    m_metrics = metrics;
    if (!m_overFace)
        return;
    m_overFace->setVisible(!rect.isEmpty());
    m_overFace->setGeometry(rect.toAlignedRect());
    setPixelSize(*m_overFace, metrics.fontSize);
}
