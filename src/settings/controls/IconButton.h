#pragma once

#include "settings/controls/SymbolIcon.h"

#include <QAbstractButton>

// A chrome-less button that shows one symbol in one colour. An invisible
// colour (alpha 0) keeps the button's place without drawing anything.
class IconButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit IconButton(QWidget* parent = nullptr);

    void setSymbol(SymbolIcon::Kind kind, const QColor& color);
    SymbolIcon::Kind symbol() const { return m_kind; }
    QColor symbolColor() const { return m_color; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolIcon::Kind m_kind = SymbolIcon::Kind::Circle;
    QColor m_color;
};
