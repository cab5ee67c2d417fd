#pragma once

#include <QLineEdit>

// A borderless, transparent line edit in white with centred text, lying over
// a painted face: the add field and the set-name field of the keyboard.
// Return and Escape are its confirm and cancel keys.
class EditorField : public QLineEdit {
    Q_OBJECT
public:
    explicit EditorField(QWidget* parent = nullptr);

    // The text's pixel size (fractional sizes allowed).
    void setPixelSize(qreal pixelSize);

Q_SIGNALS:
    void confirmed();
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    qreal m_pixelSize = 0;
};
