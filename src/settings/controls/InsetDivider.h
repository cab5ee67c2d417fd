#pragma once

#include <QWidget>

// A thin horizontal rule, inset on both sides; drawn in the separator colour.
class InsetDivider : public QWidget {
    Q_OBJECT

public:
    explicit InsetDivider(int inset = 0, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_inset;
};
