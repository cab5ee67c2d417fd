#pragma once

#include <QString>
#include <QStringList>

// A sentence for the user that code below the interface cannot word itself:
// the key of its entry in the string table and the values of its %1, %2 …
// The interface language is chosen above the platform, so the wording is
// looked up there (LocalizationManager::text()).
struct UserText {
    UserText() = default;
    UserText(QString key, QStringList arguments = {})
        : key(std::move(key))
        , arguments(std::move(arguments)) {}

    QString key;
    QStringList arguments;

    bool isEmpty() const { return key.isEmpty(); }
    bool operator==(const UserText&) const = default;
};
