#pragma once

#include <QWidget>

class QLabel;

// One instruction line: a bullet, then text that wraps beside it; the bullet
// stays level with the first line.
class BulletPointRow : public QWidget {
    Q_OBJECT

public:
    explicit BulletPointRow(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;

    QLabel* textLabel() const { return m_text; }
    QLabel* bulletLabel() const { return m_bullet; }

private:
    QLabel* m_bullet = nullptr;
    QLabel* m_text = nullptr;
};
