/* Host stand-in for the platform's per-thread binder state: the caller of
 * the transaction this thread is serving, and joining the thread pool. */
#ifndef HOST_BINDER_IPCTHREADSTATE_H
#define HOST_BINDER_IPCTHREADSTATE_H

#include <sys/types.h>

#include <utils/Errors.h>

namespace android {

class IPCThreadState {
public:
    static IPCThreadState *self();
    // inside a transaction: the peer's credentials read when its connection
    // was made; otherwise this process's own
    pid_t getCallingPid() const;
    uid_t getCallingUid() const;
    // serves the thread pool on the calling thread; does not return
    void joinThreadPool(bool isMain = true);
    void flushCommands() {}

private:
    IPCThreadState() {}
};

}  // namespace android

#endif
