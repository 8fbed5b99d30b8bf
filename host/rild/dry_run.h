// host-rild --dry-run: one discovery scan through the loaded library, and a
// list of what it found, without opening any port.
#ifndef HOST_RILD_DRY_RUN_H
#define HOST_RILD_DRY_RUN_H

namespace hostrild {

// lib is the dlopen handle of a library build. Prints the ports, family and
// model (one JSON object when json is set) and, for each port, whether this
// user may read and write it and which processes hold it open. Returns the
// exit status: 0 when a usable module was found, 1 when none, 2 when the
// library lacks the discovery entry.
int dryRun(void *lib, bool json);

}  // namespace hostrild

#endif
