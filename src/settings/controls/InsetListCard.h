#pragma once

#include <QWidget>

// The rounded, slightly raised background of an inset list.
class InsetListCard : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};
