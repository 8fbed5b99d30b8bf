/* Host stand-in for the platform's binder object interface. */
#ifndef HOST_BINDER_IBINDER_H
#define HOST_BINDER_IBINDER_H

#include <stdint.h>

#include <utils/Errors.h>
#include <utils/RefBase.h>
#include <utils/String16.h>

namespace android {

class BBinder;
class BpBinder;
class Parcel;

class IBinder : public RefBase {
public:
    enum {
        FIRST_CALL_TRANSACTION = 0x00000001,
        LAST_CALL_TRANSACTION = 0x00ffffff,
        PING_TRANSACTION = 0x5f504e47,      // '_PNG'
        INTERFACE_TRANSACTION = 0x5f4e5446, // '_NTF'
        FLAG_ONEWAY = 0x00000001,
    };

    virtual const String16 &getInterfaceDescriptor() const = 0;
    virtual bool isBinderAlive() const = 0;
    virtual status_t pingBinder() = 0;
    virtual status_t transact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags = 0) = 0;

    virtual BBinder *localBinder() { return nullptr; }
    virtual BpBinder *remoteBinder() { return nullptr; }

protected:
    IBinder() {}
    virtual ~IBinder() {}
};

}  // namespace android

#endif
