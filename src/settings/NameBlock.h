#pragma once

#include <QAbstractButton>

// The clickable two-line block of a set's row: its display name, and below
// it the set's characters on one line in the caption font.
class NameBlock : public QAbstractButton {
    Q_OBJECT

public:
    explicit NameBlock(QWidget* parent = nullptr);

    void setLines(const QString& name, const QString& characters);
    QString name() const { return text(); }
    QString characters() const { return m_characters; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont captionFont() const;

    QString m_characters;
};
