// Pure parsers of module reply lines, on a bounded copy of the line.
#include "ril_parsers.h"

#include <string.h>

#include "at_reply.h"
#include "ril_at_text.h"

namespace {

// A bounded, writable copy of a reply line (the tokenizer writes into it).
// Lines longer than the channel's line buffer never come from the channel;
// a longer one is cut.
class LineCopy {
public:
    explicit LineCopy(const char *line) : ok_(line != nullptr) {
        if (ok_) ril_copy_text(buf_, sizeof(buf_), line);
        cur_ = buf_;
    }
    bool ok() const { return ok_; }
    char **cur() { return &cur_; }

private:
    bool ok_;
    char buf_[8192 + 1] = {0};
    char *cur_;
};

int leadingInts(const char *line, int *fields, int max, int *more) {
    if (more != nullptr) *more = 0;
    LineCopy c(line);
    if (!c.ok() || at_tok_start(c.cur()) < 0) return -1;
    int n = 0;
    int v = 0;
    while (n < max && fields != nullptr && at_tok_nextint(c.cur(), &v) >= 0) fields[n++] = v;
    if (more != nullptr) *more = at_tok_hasmore(c.cur()) ? 1 : 0;
    return n;
}

}  // namespace

extern "C" {

int parseCsq(const char *line, int *rssi, int *ber) {
    LineCopy c(line);
    if (!c.ok() || at_tok_start(c.cur()) < 0) return line == nullptr ? -1 : 0;
    int v = 0;
    if (at_tok_nextint(c.cur(), &v) < 0) return 0;
    if (rssi != nullptr) *rssi = v;
    if (at_tok_nextint(c.cur(), &v) < 0) return 1;
    if (ber != nullptr) *ber = v;
    return 2;
}

int parseCpin(const char *line, char *code, size_t size) {
    LineCopy c(line);
    char *text = nullptr;
    if (!c.ok() || at_tok_start(c.cur()) < 0 || at_tok_nextstr(c.cur(), &text) < 0 || text == nullptr) return -1;
    if (code != nullptr && size > 0) ril_copy_text(code, size, text);
    return 0;
}

int parseCops(const char *line, int *mode, int *format, char *oper, size_t size) {
    LineCopy c(line);
    if (!c.ok()) return -1;
    if (at_tok_start(c.cur()) < 0) return 0;
    int v = 0;
    if (at_tok_nextint(c.cur(), &v) < 0) return 0;
    if (mode != nullptr) *mode = v;
    if (at_tok_nextint(c.cur(), &v) < 0) return 1;
    if (format != nullptr) *format = v;
    char *name = nullptr;
    if (at_tok_nextstr(c.cur(), &name) < 0 || name == nullptr) return 2;
    if (oper != nullptr && size > 0) ril_copy_text(oper, size, name);
    return 3;
}

int parseSysinfo(const char *line, int *fields, int max) { return leadingInts(line, fields, max, nullptr); }

int parseServerinfo(const char *line, int *fields, int max, int *more) { return leadingInts(line, fields, max, more); }

}  // extern "C"
