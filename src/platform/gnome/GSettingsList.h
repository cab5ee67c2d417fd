#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A list of strings in the text form gsettings reads and prints
// ("['a', 'b']", "@as []"); only what GNOME's extension lists need.
namespace GSettingsList {

// Nothing when the text is not such a list.
std::optional<QStringList> parse(const QString& text);
QString format(const QStringList& list);

} // namespace GSettingsList
