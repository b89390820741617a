#pragma once

namespace salvorine {

// Makes SIGINT (Ctrl+C) and SIGTERM stop requests, taken by a thread of their
// own: a handler would only run once a stalled read returned, which on a
// damaged disc can take minutes. The first one is only noted, for
// StopRequested to tell; a second ends the program at once with status
// 128 + the signal, even inside a read that hangs. Threads started before the
// call may still receive the signals the ordinary way.
void WaitForStopRequests();

// Whether a stop was requested since WaitForStopRequests; safe from any thread.
bool StopRequested();

}  // namespace salvorine
