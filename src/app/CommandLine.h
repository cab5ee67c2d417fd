#pragma once

#include "app/InstanceProtocol.h"

#include <QStringList>

// The command line of `runeboard`: at most one action, answered by the
// running instance (or by this process when it becomes the instance), or
// --help / --version, answered at once.
struct CommandLine {
    enum class Kind { Request, Help, Version, Find, InputMethod, Invalid };

    Kind kind = Kind::Request;
    AppRequest request;
    QString error;     // for Invalid, one line
    QString findWords; // for Find

    // The arguments without the program name.
    static CommandLine parse(const QStringList& arguments);
    // The same from main()'s arguments, which must be valid text in the
    // system's encoding (UTF-8): invalid bytes are refused, not replaced.
    static CommandLine parse(int argc, const char* const* argv);
    static QString helpText();
};
