/* Host stand-in for the platform's local binder object. */
#ifndef HOST_BINDER_BINDER_H
#define HOST_BINDER_BINDER_H

#include <binder/IBinder.h>

namespace android {

class BBinder : public IBinder {
public:
    BBinder();

    const String16 &getInterfaceDescriptor() const override;
    bool isBinderAlive() const override { return true; }
    status_t pingBinder() override { return NO_ERROR; }
    // the ping answers at once; every other code goes to onTransact
    status_t transact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags = 0) override;
    BBinder *localBinder() override { return this; }

    // host: the object id this process gives the object on the wire (>= 1)
    uint32_t hostObjectId() const;

protected:
    ~BBinder() override;
    // the interface descriptor transaction; anything else is unknown
    virtual status_t onTransact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags = 0);

private:
    mutable uint32_t mHostId;
};

}  // namespace android

#endif
