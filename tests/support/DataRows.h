#pragma once

#include <QStringList>
#include <QTest>

// A data table of strings: the columns' names, then each row's name and values.
inline void stringRows(std::initializer_list<const char*> columns, std::initializer_list<QStringList> rows) {
    for (const char* column : columns)
        QTest::addColumn<QString>(column);
    for (const QStringList& row : rows) {
        QTestData& data = QTest::newRow(qPrintable(row[0]));
        for (const QString& value : row.mid(1))
            data << value;
    }
}
