// Steps that later areas of the library will provide. Each keeps its final
// name and signature and does the least it can; the README's status table
// lists them.
#include "at_link.h"
#include "at_reply.h"
#include "ril_families.h"
#include "ril_log.h"
#include "ril_sim.h"

extern "C" {

}  // extern "C"
