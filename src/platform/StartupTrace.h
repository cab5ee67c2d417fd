#pragma once

// Where a start spends its time and memory, for whoever tunes it: with
// RUNEBOARD_TRACE_STARTUP set, each mark writes one line to standard error
// with the milliseconds since the start and the resident memory. Set to a
// CLOCK_MONOTONIC reading in milliseconds (a benchmark's clock when it started
// the process), the times count from there; set to anything else, from the
// process's own start as the kernel recorded it (10 ms steps). Unset, a mark
// costs one test of a flag.
namespace StartupTrace {

bool enabled();
void mark(const char* phase);

} // namespace StartupTrace
