/* Host stand-in for the platform's strong pointer sp<T>. */
#ifndef HOST_UTILS_STRONGPOINTER_H
#define HOST_UTILS_STRONGPOINTER_H

#include <stddef.h>

namespace android {

template <typename T>
class sp {
public:
    sp() : m_ptr(nullptr) {}
    sp(T *other) : m_ptr(other) {  // NOLINT: implicit, as on the platform
        if (m_ptr) m_ptr->incStrong(this);
    }
    sp(const sp<T> &other) : m_ptr(other.m_ptr) {
        if (m_ptr) m_ptr->incStrong(this);
    }
    sp(sp<T> &&other) noexcept : m_ptr(other.m_ptr) { other.m_ptr = nullptr; }
    template <typename U>
    sp(const sp<U> &other) : m_ptr(other.get()) {  // NOLINT
        if (m_ptr) m_ptr->incStrong(this);
    }
    ~sp() {
        if (m_ptr) m_ptr->decStrong(this);
    }
    sp &operator=(const sp<T> &other) {
        T *p = other.m_ptr;
        if (p) p->incStrong(this);
        if (m_ptr) m_ptr->decStrong(this);
        m_ptr = p;
        return *this;
    }
    sp &operator=(sp<T> &&other) noexcept {
        if (this != &other) {
            if (m_ptr) m_ptr->decStrong(this);
            m_ptr = other.m_ptr;
            other.m_ptr = nullptr;
        }
        return *this;
    }
    sp &operator=(T *other) {
        if (other) other->incStrong(this);
        if (m_ptr) m_ptr->decStrong(this);
        m_ptr = other;
        return *this;
    }
    template <typename U>
    sp &operator=(const sp<U> &other) {
        return *this = sp<T>(other);
    }
    void clear() {
        if (m_ptr) m_ptr->decStrong(this);
        m_ptr = nullptr;
    }
    T *get() const { return m_ptr; }
    T &operator*() const { return *m_ptr; }
    T *operator->() const { return m_ptr; }
    bool operator==(const sp<T> &o) const { return m_ptr == o.m_ptr; }
    bool operator!=(const sp<T> &o) const { return m_ptr != o.m_ptr; }
    bool operator==(const T *o) const { return m_ptr == o; }
    bool operator!=(const T *o) const { return m_ptr != o; }
    bool operator==(decltype(nullptr)) const { return m_ptr == nullptr; }
    bool operator!=(decltype(nullptr)) const { return m_ptr != nullptr; }

private:
    T *m_ptr;
};

}  // namespace android

#endif
