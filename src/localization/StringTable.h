#pragma once

#include <QList>
#include <QString>

// The interface texts in the two languages the interface speaks, in the
// order the views were written in. Keys are lower-case ASCII.
namespace StringTable {

struct Row {
    QString key;
    QString english;
    QString russian;
};

const QList<Row>& rows();

} // namespace StringTable
