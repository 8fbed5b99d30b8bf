/* Host stand-in for the platform's parcel: 4-byte aligned little-endian
 * data as the README's binder wire format describes. Every read is bounded
 * by the data: a read past the end, or of a malformed value, fails
 * (NOT_ENOUGH_DATA or BAD_VALUE) and the value reads as 0 / empty / null. */
#ifndef HOST_BINDER_PARCEL_H
#define HOST_BINDER_PARCEL_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include <utils/Errors.h>
#include <utils/String16.h>
#include <utils/String8.h>
#include <binder/IBinder.h>

namespace android {

class IPCThreadState;
namespace hostbinder {
class Connection;
}

class Parcel {
public:
    Parcel();
    ~Parcel();
    Parcel(const Parcel &) = delete;
    Parcel &operator=(const Parcel &) = delete;

    const uint8_t *data() const { return mData.data(); }
    size_t dataSize() const { return mData.size(); }
    size_t dataAvail() const { return mPos < mData.size() ? mData.size() - mPos : 0; }
    size_t dataPosition() const { return mPos; }
    void setDataPosition(size_t pos) const { mPos = pos; }
    // replaces the content by a copy of len bytes (position 0, no binders)
    status_t setData(const uint8_t *buffer, size_t len);
    void freeData();

    status_t writeInt32(int32_t v);
    status_t writeUint32(uint32_t v);
    status_t writeInt64(int64_t v);
    status_t writeString8(const String8 &s);
    status_t writeString8(const char *s, size_t len);
    status_t writeString16(const String16 &s);
    status_t writeString16(const char16_t *s, size_t len);
    status_t writeInterfaceToken(const String16 &descriptor);
    // a local object goes out with its id; a null one as kind 0; a proxy of
    // another process's object cannot be passed on (INVALID_OPERATION, null)
    status_t writeStrongBinder(const sp<IBinder> &binder);

    int32_t readInt32() const;
    status_t readInt32(int32_t *v) const;
    uint32_t readUint32() const;
    status_t readUint32(uint32_t *v) const;
    int64_t readInt64() const;
    status_t readInt64(int64_t *v) const;
    String8 readString8() const;
    status_t readString8(String8 *s) const;
    String16 readString16() const;
    status_t readString16(String16 *s) const;
    // the interface token: int32 0, then the descriptor
    bool enforceInterface(const String16 &descriptor, IPCThreadState *threadState = nullptr) const;
    sp<IBinder> readStrongBinder() const;
    status_t readStrongBinder(sp<IBinder> *binder) const;

    // host: the local objects written into this parcel, and the connection a
    // received parcel came from (its binders are proxies on it)
    const std::vector<sp<IBinder>> &hostObjects() const { return mObjects; }
    void hostSetOrigin(const sp<hostbinder::Connection> &origin);

private:
    status_t readAligned(void *out, size_t len) const;
    void pad();

    std::vector<uint8_t> mData;
    mutable size_t mPos;
    std::vector<sp<IBinder>> mObjects;
    sp<hostbinder::Connection> mOrigin;
};

}  // namespace android

#endif
