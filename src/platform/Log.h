#pragma once

#include <QString>

#include <cstdio>

// The one way Runeboard reports: a whole line, flushed at once, so lines of a
// running instance and of the processes it starts never interleave. Diagnostics
// go to standard output prefixed by their component ("[SetStore] …");
// answers for the person at the terminal go to standard error.
namespace Log {

void line(const QString& text, std::FILE* stream = stdout);

} // namespace Log
