// Fuzz target: arbitrary bytes as a received parcel and as a received
// packet header, read the way the AT service and its callers read them; every
// text read goes through the outside-command check, the log masking and the
// AT filter.
//
// Input layout: byte 0 chooses the read sequence's seed, byte 1 an initial
// read position; the rest is the parcel data (also decoded as a packet).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <binder/Binder.h>
#include <binder/Parcel.h>
#include <utils/String16.h>
#include <utils/String8.h>

#include "at_filter.h"
#include "ril_families.h"
#include "ril_network.h"
#include "wire.h"

using namespace android;

extern "C" {
// the AT filter's neighbours, not under test here
int G_incall = 0;
void kv_raise_event(int, void *) {}
}

namespace {

void exerciseText(const String8 &s) {
    int ok = ril_outside_command_ok(s.string(), s.length());
    char shown[RIL_OUTSIDE_COMMAND_MAX + 8];
    ril_mask_command(s.string(), shown, sizeof(shown));
    if (ok) {
        G_incall = (int)(s.length() & 1);
        filtercommand(s.string());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    uint32_t seed = data[0];
    size_t start = data[1];
    data += 2;
    size -= 2;

    hostbinder::Header h;
    if (hostbinder::decodeHeader(data, size, &h)) {
        volatile uint32_t sink = h.kind ^ h.seq ^ (uint32_t)h.code ^ h.flags ^ h.target ^ h.size ^ h.zero;
        (void)sink;
    }

    Parcel p;
    p.setData(data, size);
    // the service's own reads: code 5's binder and text, code 4's callback
    sp<IBinder> b;
    if (p.readStrongBinder(&b) == NO_ERROR) exerciseText(p.readString8());
    p.setDataPosition(0);
    p.enforceInterface(String16("nrt.callback"));
    p.readInt32();
    exerciseText(p.readString8());

    // then any mix of reads from any position
    p.setDataPosition(start);
    for (int i = 0; i < 64 && p.dataAvail() > 0; i++) {
        seed = seed * 1103515245u + 12345u;
        switch ((seed >> 16) % 8) {
            case 0: p.readInt32(); break;
            case 1: p.readInt64(); break;
            case 2: exerciseText(p.readString8()); break;
            case 3: {
                String16 s = p.readString16();
                String8 back(s);
                exerciseText(back);
                break;
            }
            case 4: p.enforceInterface(String16("ril.at")); break;
            case 5: p.readStrongBinder(); break;
            case 6: p.setDataPosition(p.dataPosition() + ((seed >> 8) & 7)); break;
            default: p.readUint32(); break;
        }
    }
    return 0;
}
