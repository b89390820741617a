#pragma once

namespace salvorine {

// Whether the standard error stream goes to a terminal (a live progress line
// is then worth drawing).
bool ErrorStreamIsTerminal();

// Writing to a closed pipe (stdout read by a program that has ended) then
// fails with an error the caller reports, instead of ending the program.
void IgnoreClosedPipes();

}  // namespace salvorine
