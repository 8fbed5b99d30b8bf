/* Host stand-in for the platform's per-process binder state. */
#ifndef HOST_BINDER_PROCESSSTATE_H
#define HOST_BINDER_PROCESSSTATE_H

#include <stddef.h>

#include <utils/RefBase.h>

namespace android {

class ProcessState : public RefBase {
public:
    static sp<ProcessState> self();
    // from now on every service of the process accepts callers, and every
    // connection is served even while no thread of ours waits on it
    void startThreadPool();
    status_t setThreadPoolMaxThreadCount(size_t maxThreads);
    bool hostThreadPoolStarted() const;

private:
    ProcessState() {}
    friend class IPCThreadState;
};

}  // namespace android

#endif
