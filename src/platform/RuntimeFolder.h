#pragma once

#include <QString>

// The one folder where Runeboard keeps what matters only while the session
// runs: the instance socket with its lock, and the records of bound keycodes.
// Whoever can write there can make Runeboard forward commands to a stranger or
// clear keys of the keymap, so it must be this user's alone.
namespace RuntimeFolder {

// $XDG_RUNTIME_DIR/runeboard when XDG_RUNTIME_DIR is an absolute path to a
// folder of this user; otherwise $XDG_STATE_HOME/runeboard/runtime (by default
// ~/.local/state/runeboard/runtime), never the current or a shared temporary
// folder. Missing folders are made with mode 0700. Empty when the folder
// cannot be made or is not private (see isPrivate()); *error then says why.
QString path(QString* error = nullptr);

// True when `path` itself (not through a symbolic link) is a folder owned by
// this user that nobody else may open or change; *why says what is wrong otherwise.
bool isPrivate(const QString& path, QString* why = nullptr);

} // namespace RuntimeFolder
