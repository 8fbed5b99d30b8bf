/* Lock annotations checked by clang's -Wthread-safety; empty elsewhere.
 * ril_mutex_t is a pthread mutex that the analysis knows as a lock. */
#ifndef RIL_THREAD_ANNOTATIONS_H
#define RIL_THREAD_ANNOTATIONS_H

#include <pthread.h>

#if defined(__clang__)
#define RIL_TSA(x) __attribute__((x))
#else
#define RIL_TSA(x)
#endif

#define RIL_CAPABILITY(x) RIL_TSA(capability(x))
#define RIL_SCOPED_CAPABILITY RIL_TSA(scoped_lockable)
#define RIL_GUARDED_BY(x) RIL_TSA(guarded_by(x))
#define RIL_PT_GUARDED_BY(x) RIL_TSA(pt_guarded_by(x))
#define RIL_REQUIRES(...) RIL_TSA(requires_capability(__VA_ARGS__))
#define RIL_ACQUIRE(...) RIL_TSA(acquire_capability(__VA_ARGS__))
#define RIL_RELEASE(...) RIL_TSA(release_capability(__VA_ARGS__))
#define RIL_NO_THREAD_SAFETY_ANALYSIS RIL_TSA(no_thread_safety_analysis)

typedef pthread_mutex_t RIL_CAPABILITY("mutex") ril_mutex_t;

static inline void ril_mutex_lock(ril_mutex_t *m) RIL_ACQUIRE(*m) RIL_NO_THREAD_SAFETY_ANALYSIS {
    pthread_mutex_lock(m);
}
static inline void ril_mutex_unlock(ril_mutex_t *m) RIL_RELEASE(*m) RIL_NO_THREAD_SAFETY_ANALYSIS {
    pthread_mutex_unlock(m);
}

#endif
