#pragma once

namespace salvorine {

// True when no process numbered `pid` runs any more. False for this process,
// and for one that runs under another user.
bool ProcessIsGone(int pid);

}  // namespace salvorine
