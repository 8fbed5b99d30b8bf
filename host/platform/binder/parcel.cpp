// Host binder stand-in: strings and the parcel.
#include <binder/Parcel.h>
#include <binder/BpBinder.h>
#include <binder/Binder.h>
#include <binder/IPCThreadState.h>

#include <string.h>

#include "wire.h"

namespace android {

/* ---- strings ---- */

namespace {

// UTF-8 to UTF-16; malformed sequences become U+FFFD
std::u16string fromUtf8(const char *s, size_t len) {
    std::u16string out;
    size_t i = 0;
    while (i < len) {
        unsigned char c = (unsigned char)s[i];
        uint32_t cp;
        size_t n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            n = 4;
        } else {
            out.push_back(0xFFFD);
            i++;
            continue;
        }
        bool ok = i + n <= len;
        for (size_t k = 1; ok && k < n; k++) {
            unsigned char cc = (unsigned char)s[i + k];
            if ((cc & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (cc & 0x3F);
        }
        static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            i++;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back((char16_t)(0xD800 + (cp >> 10)));
            out.push_back((char16_t)(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back((char16_t)cp);
        }
        i += n;
    }
    return out;
}

void putUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back((char)cp);
    } else if (cp < 0x800) {
        out.push_back((char)(0xC0 | (cp >> 6)));
        out.push_back((char)(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back((char)(0xE0 | (cp >> 12)));
        out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back((char)(0x80 | (cp & 0x3F)));
    } else {
        out.push_back((char)(0xF0 | (cp >> 18)));
        out.push_back((char)(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back((char)(0x80 | (cp & 0x3F)));
    }
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD
std::string toUtf8(const char16_t *s, size_t len) {
    std::string out;
    for (size_t i = 0; i < len; i++) {
        uint32_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            putUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (uint32_t)(s[i + 1] - 0xDC00));
            i++;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            putUtf8(out, 0xFFFD);
        } else {
            putUtf8(out, u);
        }
    }
    return out;
}

}  // namespace

String8::String8(const String16 &s) : mText(toUtf8(s.string(), s.size())) {}
String16::String16(const char *utf8) : mText(utf8 != nullptr ? fromUtf8(utf8, strlen(utf8)) : std::u16string()) {}
String16::String16(const String8 &utf8) : mText(fromUtf8(utf8.string(), utf8.length())) {}

/* ---- parcel ---- */

// (construction, destruction and the origin live beside the connection,
// which they hold)

status_t Parcel::setData(const uint8_t *buffer, size_t len) {
    if (buffer == nullptr && len != 0) return BAD_VALUE;
    mData.assign(buffer, buffer + len);
    mPos = 0;
    mObjects.clear();
    return NO_ERROR;
}


void Parcel::pad() {
    while (mData.size() % 4 != 0) mData.push_back(0);
}

status_t Parcel::writeUint32(uint32_t v) {
    uint8_t b[4];
    hostbinder::putLe32(b, v);
    mData.insert(mData.end(), b, b + 4);
    return NO_ERROR;
}

status_t Parcel::writeInt32(int32_t v) { return writeUint32((uint32_t)v); }

status_t Parcel::writeInt64(int64_t v) {
    writeUint32((uint32_t)((uint64_t)v & 0xFFFFFFFFu));
    return writeUint32((uint32_t)((uint64_t)v >> 32));
}

status_t Parcel::writeString8(const char *s, size_t len) {
    if (s == nullptr) return writeInt32(-1);
    if (len > INT32_MAX - 8) return BAD_VALUE;
    writeInt32((int32_t)len);
    mData.insert(mData.end(), (const uint8_t *)s, (const uint8_t *)s + len);
    mData.push_back(0);
    pad();
    return NO_ERROR;
}

status_t Parcel::writeString8(const String8 &s) { return writeString8(s.string(), s.length()); }

status_t Parcel::writeString16(const char16_t *s, size_t len) {
    if (s == nullptr) return writeInt32(-1);
    if (len > (INT32_MAX - 8) / 2) return BAD_VALUE;
    writeInt32((int32_t)len);
    for (size_t i = 0; i <= len; i++) {
        uint16_t u = i < len ? (uint16_t)s[i] : 0;
        mData.push_back((uint8_t)u);
        mData.push_back((uint8_t)(u >> 8));
    }
    pad();
    return NO_ERROR;
}

status_t Parcel::writeString16(const String16 &s) { return writeString16(s.string(), s.size()); }

status_t Parcel::writeInterfaceToken(const String16 &descriptor) {
    writeInt32(0);
    return writeString16(descriptor);
}

status_t Parcel::writeStrongBinder(const sp<IBinder> &binder) {
    BBinder *local = binder != nullptr ? binder->localBinder() : nullptr;
    if (local == nullptr) {
        writeInt32(0);
        writeInt32(0);
        writeInt64(0);
        return binder == nullptr ? NO_ERROR : INVALID_OPERATION;
    }
    writeInt32(1);
    writeInt32(0);
    writeInt64((int64_t)local->hostObjectId());
    mObjects.push_back(binder);
    return NO_ERROR;
}

status_t Parcel::readAligned(void *out, size_t len) const {
    if (mPos > mData.size() || mData.size() - mPos < len) {
        mPos = mData.size();
        memset(out, 0, len);
        return NOT_ENOUGH_DATA;
    }
    memcpy(out, mData.data() + mPos, len);
    mPos += len;
    return NO_ERROR;
}

status_t Parcel::readUint32(uint32_t *v) const {
    uint8_t b[4];
    status_t st = readAligned(b, sizeof(b));
    if (v != nullptr) *v = st == NO_ERROR ? hostbinder::getLe32(b) : 0;
    return st;
}

uint32_t Parcel::readUint32() const {
    uint32_t v = 0;
    readUint32(&v);
    return v;
}

status_t Parcel::readInt32(int32_t *v) const {
    uint32_t u = 0;
    status_t st = readUint32(&u);
    if (v != nullptr) *v = (int32_t)u;
    return st;
}

int32_t Parcel::readInt32() const { return (int32_t)readUint32(); }

status_t Parcel::readInt64(int64_t *v) const {
    uint32_t lo = 0, hi = 0;
    size_t start = mPos;
    status_t st = readUint32(&lo);
    if (st == NO_ERROR) st = readUint32(&hi);
    if (st != NO_ERROR) {
        mPos = mData.size();
        (void)start;
        if (v != nullptr) *v = 0;
        return st;
    }
    if (v != nullptr) *v = (int64_t)(((uint64_t)hi << 32) | lo);
    return NO_ERROR;
}

int64_t Parcel::readInt64() const {
    int64_t v = 0;
    readInt64(&v);
    return v;
}

// count, count units of unitSize bytes, one zero unit, padding to 4
status_t Parcel::readString8(String8 *s) const {
    if (s != nullptr) *s = String8();
    int32_t count = 0;
    status_t st = readInt32(&count);
    if (st != NO_ERROR) return st;
    if (count == -1) return NO_ERROR;  // null reads as empty
    if (count < 0) return BAD_VALUE;
    size_t need = (size_t)count + 1;
    size_t padded = (need + 3) & ~(size_t)3;
    if (dataAvail() < padded) {
        mPos = mData.size();
        return NOT_ENOUGH_DATA;
    }
    const char *p = (const char *)mData.data() + mPos;
    if (p[count] != '\0') {
        mPos = mData.size();
        return BAD_VALUE;
    }
    if (s != nullptr) *s = String8(p, (size_t)count);
    mPos += padded;
    return NO_ERROR;
}

String8 Parcel::readString8() const {
    String8 s;
    readString8(&s);
    return s;
}

status_t Parcel::readString16(String16 *s) const {
    if (s != nullptr) *s = String16();
    int32_t count = 0;
    status_t st = readInt32(&count);
    if (st != NO_ERROR) return st;
    if (count == -1) return NO_ERROR;
    if (count < 0 || (size_t)count > (SIZE_MAX - 8) / 2) return BAD_VALUE;
    size_t need = ((size_t)count + 1) * 2;
    size_t padded = (need + 3) & ~(size_t)3;
    if (dataAvail() < padded) {
        mPos = mData.size();
        return NOT_ENOUGH_DATA;
    }
    const uint8_t *p = mData.data() + mPos;
    std::u16string text;
    text.reserve((size_t)count);
    for (size_t i = 0; i < (size_t)count; i++) text.push_back((char16_t)(p[2 * i] | (p[2 * i + 1] << 8)));
    if (p[2 * (size_t)count] != 0 || p[2 * (size_t)count + 1] != 0) {
        mPos = mData.size();
        return BAD_VALUE;
    }
    if (s != nullptr) *s = String16(text.data(), text.size());
    mPos += padded;
    return NO_ERROR;
}

String16 Parcel::readString16() const {
    String16 s;
    readString16(&s);
    return s;
}

bool Parcel::enforceInterface(const String16 &descriptor, IPCThreadState *) const {
    int32_t policy = 0;
    if (readInt32(&policy) != NO_ERROR) return false;
    String16 got;
    if (readString16(&got) != NO_ERROR) return false;
    return got == descriptor;
}

status_t Parcel::readStrongBinder(sp<IBinder> *binder) const {
    if (binder != nullptr) binder->clear();
    int32_t kind = 0, zero = 0;
    int64_t id = 0;
    status_t st = readInt32(&kind);
    if (st == NO_ERROR) st = readInt32(&zero);
    if (st == NO_ERROR) st = readInt64(&id);
    if (st != NO_ERROR) return st;
    if (kind == 0) return NO_ERROR;
    if (kind != 1 || zero != 0) return BAD_VALUE;
    sp<IBinder> b;
    if (mOrigin != nullptr) {
        b = hostbinder::proxyFor(mOrigin, (uint64_t)id);
    } else {
        // a parcel that never left this process: its own objects
        for (const auto &o : mObjects) {
            BBinder *local = o->localBinder();
            if (local != nullptr && local->hostObjectId() == (uint64_t)id) b = o;
        }
    }
    if (b == nullptr) return BAD_VALUE;
    if (binder != nullptr) *binder = b;
    return NO_ERROR;
}

sp<IBinder> Parcel::readStrongBinder() const {
    sp<IBinder> b;
    readStrongBinder(&b);
    return b;
}

}  // namespace android
