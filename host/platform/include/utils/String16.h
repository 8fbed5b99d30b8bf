/* Host stand-in for the platform's 16-bit (UTF-16) string. */
#ifndef HOST_UTILS_STRING16_H
#define HOST_UTILS_STRING16_H

#include <stddef.h>

#include <string>

namespace android {

class String8;

class String16 {
public:
    String16() {}
    explicit String16(const char *utf8);
    explicit String16(const String8 &utf8);
    String16(const char16_t *s, size_t len) : mText(s != nullptr ? std::u16string(s, len) : std::u16string()) {}

    const char16_t *string() const { return mText.c_str(); }
    const char16_t *c_str() const { return mText.c_str(); }
    size_t size() const { return mText.size(); }
    bool operator==(const String16 &o) const { return mText == o.mText; }
    bool operator!=(const String16 &o) const { return mText != o.mText; }

private:
    std::u16string mText;
};

}  // namespace android

#endif
