#pragma once

#include <QAbstractButton>

// The first row of the set list: a blue filled plus and the fixed word
// "Custom"; the whole row is one button.
class CustomRowButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CustomRowButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
