// The binder wire format of the host build: one packet per message, seven
// little-endian 32-bit words, then the parcel data.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <utils/RefBase.h>

namespace android {
class IBinder;
namespace hostbinder {

enum : uint32_t { KIND_TRANSACTION = 1, KIND_REPLY = 2 };
constexpr size_t kHeaderWords = 7;
constexpr size_t kHeaderSize = kHeaderWords * 4;
// the largest parcel a packet may carry
constexpr size_t kMaxParcel = 64 * 1024;

struct Header {
    uint32_t kind;
    uint32_t seq;
    int32_t code;  // a transaction's code, or a reply's status
    uint32_t flags;
    uint32_t target;
    uint32_t size;
    uint32_t zero;
};

inline uint32_t getLe32(const uint8_t *p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline void putLe32(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

// Decodes the header of a packet of len bytes; false when it is shorter
// than a header.
bool decodeHeader(const uint8_t *packet, size_t len, Header *h);
void encodeHeader(const Header &h, uint8_t *out);

// a proxy for object id on the connection a parcel came from (null without one)
sp<IBinder> proxyFor(const sp<class Connection> &origin, uint64_t id);

}  // namespace hostbinder
}  // namespace android
