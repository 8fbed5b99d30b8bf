/* Host stand-in for the platform's reference-counted base class. */
#ifndef HOST_UTILS_REFBASE_H
#define HOST_UTILS_REFBASE_H

#include <stdint.h>

#include <atomic>

#include <utils/StrongPointer.h>

namespace android {

class RefBase {
public:
    void incStrong(const void *id) const {
        (void)id;
        if (mStrong.fetch_add(1, std::memory_order_relaxed) == 0) const_cast<RefBase *>(this)->onFirstRef();
    }
    void decStrong(const void *id) const {
        if (mStrong.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            const_cast<RefBase *>(this)->onLastStrongRef(id);
            delete this;
        }
    }
    int32_t getStrongCount() const { return mStrong.load(std::memory_order_relaxed); }

protected:
    RefBase() : mStrong(0) {}
    virtual ~RefBase() {}
    virtual void onFirstRef() {}
    virtual void onLastStrongRef(const void * /*id*/) {}

private:
    RefBase(const RefBase &) = delete;
    RefBase &operator=(const RefBase &) = delete;
    mutable std::atomic<int32_t> mStrong;
};

}  // namespace android

#endif
