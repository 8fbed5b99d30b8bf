/* Host stand-in for the platform's service manager: a service NAME is the
 * SOCK_SEQPACKET socket $RIL_BINDER_DIR/NAME (see the README). */
#ifndef HOST_BINDER_ISERVICEMANAGER_H
#define HOST_BINDER_ISERVICEMANAGER_H

#include <binder/IBinder.h>
#include <utils/String16.h>

namespace android {

class IServiceManager : public RefBase {
public:
    // the service when it answers now, else null
    sp<IBinder> checkService(const String16 &name) const;
    // as checkService, retrying for up to 5 s
    sp<IBinder> getService(const String16 &name) const;
    // ALREADY_EXISTS when a live service has the name, BAD_VALUE for a name
    // that cannot be a file name; a stale socket file is replaced
    status_t addService(const String16 &name, const sp<IBinder> &service, bool allowIsolated = false);
};

sp<IServiceManager> defaultServiceManager();

}  // namespace android

#endif
