/* Host stand-in for the platform's proxy of a binder object in another
 * process: an object id on one socket connection. */
#ifndef HOST_BINDER_BPBINDER_H
#define HOST_BINDER_BPBINDER_H

#include <binder/IBinder.h>

namespace android {

namespace hostbinder {
class Connection;
}

class BpBinder : public IBinder {
public:
    BpBinder(const sp<hostbinder::Connection> &connection, uint64_t id);

    // asks the remote object (interface transaction); empty when it fails
    const String16 &getInterfaceDescriptor() const override;
    bool isBinderAlive() const override;
    status_t pingBinder() override;
    status_t transact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags = 0) override;
    BpBinder *remoteBinder() override { return this; }

    uint64_t hostObjectId() const { return mId; }

protected:
    ~BpBinder() override;

private:
    sp<hostbinder::Connection> mConnection;
    uint64_t mId;
    mutable String16 mDescriptor;
};

}  // namespace android

#endif
