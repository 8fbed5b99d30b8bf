/* Host stand-in for the platform's 8-bit (UTF-8) string. */
#ifndef HOST_UTILS_STRING8_H
#define HOST_UTILS_STRING8_H

#include <stddef.h>

#include <string>

namespace android {

class String16;

class String8 {
public:
    String8() {}
    String8(const char *s) : mText(s != nullptr ? s : "") {}  // NOLINT
    String8(const char *s, size_t len) : mText(s != nullptr ? std::string(s, len) : std::string()) {}
    explicit String8(const String16 &s);

    const char *string() const { return mText.c_str(); }
    const char *c_str() const { return mText.c_str(); }
    size_t length() const { return mText.size(); }
    size_t size() const { return mText.size(); }
    size_t bytes() const { return mText.size(); }
    bool isEmpty() const { return mText.empty(); }
    void setTo(const char *s, size_t len) { mText.assign(s, len); }
    bool operator==(const String8 &o) const { return mText == o.mText; }
    bool operator!=(const String8 &o) const { return mText != o.mText; }

private:
    std::string mText;
};

}  // namespace android

#endif
