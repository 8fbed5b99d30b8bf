// Serial firmware download: the port, the frame codec and the programmer,
// image and header-file procedures. Frames are checked with CRC-16/X-25 and
// byte-stuffed; the module answers 0x7E 0x02 0x6A 0xD3 0x7E to what it takes
// and a frame of command 0x03 to what it refuses.
//
// Every buffer is fixed and every length is checked against it before a
// copy: a programmer that is not a sound Intel HEX file, a header file over
// 1000 bytes, an image of 16 MiB or more, a path that does not fit are all
// refused with a message before anything is sent.
#include "download.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "ril_log.h"

extern "C" {

int fport = -1;
const unsigned short crctab16[256] = {
#include "crc16_x25_table.inc"
};
int g_download_answer_wait_ms = 1;
download_progress_fn g_download_progress = nullptr;

}  // extern "C"

namespace {

const unsigned char kDownloadModeRequest[] = {0x3A, 0xA1, 0x6E, 0x7E};
const unsigned char kStartRequest[] = {0x7E, 0x06, 0x4E, 0x95, 0x7E};
const unsigned char kAck[] = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
const char kProgrammerName[] = "NPRG6270.hex";

const unsigned char kFlag = 0x7E;
const unsigned char kEscape = 0x7D;
const unsigned char kCmdAck = 0x02;
const unsigned char kCmdNak = 0x03;
const unsigned char kCmdWrite = 0x0F;
const unsigned char kCmdBlock = 0x07;

// the largest frame body: an image block (5 header bytes and its data)
const size_t kMaxBody = 5 + DOWNLOAD_IMAGE_BLOCK;
// escaped: every body and CRC byte may double, plus the two flags
const size_t kMaxFrame = 2 * (kMaxBody + 2) + 3;
// an answer run longer than this between flags is no answer
const size_t kMaxAnswer = 4096;
// the programmer's text is read whole; no programmer comes near this
const long kMaxHexFile = 32L * 1024 * 1024;

int answerWaitMs() { return g_download_answer_wait_ms > 0 ? g_download_answer_wait_ms : 1; }

// waits up to ms for input on the port; true when there is some
bool waitInput(int ms) {
    if (fport < 0) return false;
    struct pollfd p = {fport, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & POLLIN) != 0;
}

// a full frame from its body: flag, escaped body and CRC, flag; the frame's
// length, or -1 when it does not fit out
int buildFrame(const unsigned char *body, size_t n, unsigned char *out, size_t cap) {
    unsigned char raw[1 + kMaxBody + 2];
    if (n > kMaxBody || cap < 2 * (n + 2) + 3) return -1;
    raw[0] = kFlag;
    memcpy(raw + 1, body, n);
    unsigned short crc = crc_update(body, (int)n);
    raw[1 + n] = (unsigned char)(crc & 0xFF);
    raw[2 + n] = (unsigned char)(crc >> 8);
    return convert_find(out, raw, (int)(n + 2));
}

void progress(const char *file, long done, long total) {
    download_progress_fn fn = g_download_progress;
    if (fn != nullptr) fn(file, done, total);
}

// The answers to image blocks and header files: counts acknowledgements and
// notes refusals among the frames that arrive.
struct Answers {
    std::vector<unsigned char> pending;
    long acked = 0;
    bool refused = false;

    void take(const unsigned char *bytes, size_t len) {
        std::vector<ril_download::AnswerFrame> frames;
        ril_download::SplitAnswerFrames(&pending, bytes, len, &frames);
        for (const auto &f : frames) {
            if (!f.crcOk || f.body.empty()) continue;  // line noise is no answer
            if (f.body.size() == 1 && f.body[0] == kCmdAck) acked++;
            else if (f.body[0] == kCmdNak) refused = true;
        }
    }

    // Reads until want answers have arrived, a refusal came, or tries polls
    // in a row brought nothing. 0, or -1.
    int await(long want, int tries, int waitMs) {
        int idle = 0;
        while (acked < want && !refused && idle < tries) {
            if (!waitInput(waitMs)) {
                idle++;
                continue;
            }
            unsigned char buf[1024];
            int r = Read(buf, (int)sizeof(buf));
            if (r > 0) {
                take(buf, (size_t)r);
                idle = 0;
            } else {
                if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) printf("Issendpass()->read: %d\n", r);
                idle++;
                // a port that hung up reports input at once: do not spin on it
                sleepMsec(1);
            }
        }
        return acked >= want && !refused ? 0 : -1;
    }
};

// the image's or header's path, checked against the tool's path buffer;
// prints why it is refused
bool pathFits(const char *path, char *copy, size_t cap) {
    if (path == nullptr || path[0] == '\0') {
        printf("no file given\n");
        return false;
    }
    size_t len = strnlen(path, cap);
    if (len >= cap) {
        printf("path too long (at most %u characters): %.40s...\n", (unsigned)(cap - 1), path);
        return false;
    }
    memcpy(copy, path, len + 1);
    return true;
}

FILE *openFile(const char *path) {
    char full[1024];
    if (RIL_SYSPATH(path, full) == nullptr) return nullptr;
    return fopen(full, "rb");
}

int openDevice(const char *path) {
    char full[512];
    if (RIL_SYSPATH(path, full) == nullptr) {
        RIL_LOGE("download port path too long: %.64s...", path);
        return -1;
    }
    closeport();
    for (int attempt = 0; attempt < 10; attempt++) {
        if (attempt > 0) sleepMsec(3000);
        int fd = open(full, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            RILDEBUG("open %s: %s", path, strerror(errno));
            continue;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        tcflush(fd, TCIOFLUSH);
        fport = fd;
        if (set_opt() == 0) return 0;
        close(fd);
        fport = -1;
    }
    return -1;
}

}  // namespace

namespace ril_download {

namespace {

int hexNibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool fail(std::string *error, int line, const char *what) {
    if (error != nullptr) {
        char buf[160];
        snprintf(buf, sizeof(buf), "line %d: %s", line, what);
        *error = buf;
    }
    return false;
}

}  // namespace

bool ParseIntelHex(const char *text, size_t len, HexImage *out, std::string *error) {
    if (text == nullptr || out == nullptr) return fail(error, 0, "no input");
    out->address = 0;
    out->data.clear();
    uint32_t base = 0;       // from the extended address records
    uint64_t next = 0;       // where the next data byte must go
    bool haveData = false;
    bool ended = false;
    int lineNo = 0;
    size_t pos = 0;
    unsigned char rec[5 + 255];
    while (pos < len) {
        lineNo++;
        const char *nl = (const char *)memchr(text + pos, '\n', len - pos);
        size_t end = nl != nullptr ? (size_t)(nl - text) : len;
        size_t lineLen = end - pos;
        if (lineLen > 0 && text[pos + lineLen - 1] == '\r') lineLen--;  // CR LF
        const char *line = text + pos;
        pos = nl != nullptr ? end + 1 : len;
        if (ended) return fail(error, lineNo, "text after the end-of-file record");
        if (lineLen == 0) return fail(error, lineNo, "empty line");
        if (line[0] != ':') return fail(error, lineNo, "a record must begin with ':'");
        size_t digits = lineLen - 1;
        if (digits < 10 || digits % 2 != 0) return fail(error, lineNo, "record too short or odd length");
        size_t bytes = digits / 2;
        if (bytes > sizeof(rec)) return fail(error, lineNo, "record too long");
        unsigned sum = 0;
        for (size_t i = 0; i < bytes; i++) {
            int hi = hexNibble(line[1 + 2 * i]);
            int lo = hexNibble(line[2 + 2 * i]);
            if (hi < 0 || lo < 0) return fail(error, lineNo, "not a hex digit");
            rec[i] = (unsigned char)(hi << 4 | lo);
            sum += rec[i];
        }
        size_t count = rec[0];
        if (count + 5 != bytes) return fail(error, lineNo, "byte count does not match the record");
        if ((sum & 0xFF) != 0) return fail(error, lineNo, "bad checksum");
        unsigned offset = (unsigned)rec[1] << 8 | rec[2];
        const unsigned char *data = rec + 4;
        switch (rec[3]) {
        case 0x00: {
            if (count == 0) break;
            if (offset + count > 0x10000) return fail(error, lineNo, "record runs past its 64 KiB segment");
            uint64_t at = (uint64_t)base + offset;
            if (at + count > 0x100000000ULL) return fail(error, lineNo, "address beyond 32 bits");
            if (!haveData) {
                out->address = (uint32_t)at;
                next = at;
                haveData = true;
            } else if (at != next) {
                return fail(error, lineNo, at > next ? "gap in addresses" : "address goes back (overlap)");
            }
            out->data.insert(out->data.end(), data, data + count);
            next += count;
            break;
        }
        case 0x01:
            if (count != 0) return fail(error, lineNo, "end-of-file record with data");
            ended = true;
            break;
        case 0x02:
            if (count != 2) return fail(error, lineNo, "segment address record needs 2 bytes");
            base = ((uint32_t)data[0] << 8 | data[1]) << 4;
            break;
        case 0x04:
            if (count != 2) return fail(error, lineNo, "linear address record needs 2 bytes");
            base = ((uint32_t)data[0] << 8 | data[1]) << 16;
            break;
        case 0x03:
        case 0x05:
            // start address: the programmer is started by the module itself
            if (count != 4) return fail(error, lineNo, "start address record needs 4 bytes");
            break;
        default:
            return fail(error, lineNo, "unknown record type");
        }
    }
    if (!ended) return fail(error, lineNo, "no end-of-file record");
    if (!haveData) return fail(error, lineNo, "no data");
    return true;
}

void SplitAnswerFrames(std::vector<unsigned char> *pending, const unsigned char *bytes, size_t len,
                       std::vector<AnswerFrame> *out) {
    if (pending == nullptr || out == nullptr || (bytes == nullptr && len > 0)) return;
    for (size_t i = 0; i < len; i++) {
        unsigned char b = bytes[i];
        if (b != kFlag) {
            if (pending->size() < kMaxAnswer) pending->push_back(b);
            else pending->clear();  // far too long for an answer: noise
            continue;
        }
        if (pending->empty()) continue;  // a leading flag or two flags in a row
        AnswerFrame f;
        bool escaped = false;
        bool broken = false;
        for (unsigned char c : *pending) {
            if (escaped) {
                f.body.push_back((unsigned char)(c ^ 0x20));
                escaped = false;
            } else if (c == kEscape) {
                escaped = true;
            } else {
                f.body.push_back(c);
            }
        }
        if (escaped) broken = true;
        pending->clear();
        if (!broken && f.body.size() >= 3) {
            size_t n = f.body.size() - 2;
            unsigned short want = (unsigned short)(f.body[n] | f.body[n + 1] << 8);
            f.crcOk = crc_update(f.body.data(), (int)n) == want;
            f.body.resize(n);
        }
        out->push_back(std::move(f));
    }
}

}  // namespace ril_download

namespace {

// The programmer's text, read whole and parsed; false with the reason (empty
// when the file does not open)
bool loadProgrammer(const char *path, ril_download::HexImage *image, std::string *why) {
    why->clear();
    FILE *f = path != nullptr ? openFile(path) : nullptr;
    if (f == nullptr) return false;
    std::string text;
    char chunk[4096];
    size_t r;
    bool tooBig = false;
    while ((r = fread(chunk, 1, sizeof(chunk), f)) > 0) {
        if ((long)(text.size() + r) > kMaxHexFile) {
            tooBig = true;
            break;
        }
        text.append(chunk, r);
    }
    bool readError = ferror(f) != 0;
    fclose(f);
    if (tooBig || readError) {
        *why = tooBig ? "file too large" : "read error";
        return false;
    }
    return ril_download::ParseIntelHex(text.data(), text.size(), image, why);
}

}  // namespace

extern "C" {

int set_opt(void) {
    struct termios ios;
    if (fport < 0 || tcgetattr(fport, &ios) != 0) {
        RILDEBUG("set_opt()->failure");
        return -1;
    }
    ios.c_iflag = IGNPAR;
    ios.c_oflag = 0;
    ios.c_lflag = 0;
    ios.c_cflag &= ~(tcflag_t)(CRTSCTS | CBAUD | CSIZE | CSTOPB | PARENB | HUPCL | CLOCAL);
    ios.c_cflag |= CREAD | CS8;
    memset(ios.c_cc, 0, sizeof(ios.c_cc));
    ios.c_cc[VTIME] = 50;
    ios.c_cc[VMIN] = 0;
    tcflush(fport, TCIFLUSH);
    if (cfsetispeed(&ios, B115200) != 0 || cfsetospeed(&ios, B115200) != 0 ||
        tcsetattr(fport, TCSANOW, &ios) != 0) {
        RILDEBUG("set_opt()->failure");
        return -1;
    }
    return 0;
}

int openport(int port) {
    char path[32];
    snprintf(path, sizeof(path), "/dev/ttyUSB%d", port);
    return openDevice(path);
}

int openport_path(const char *path) {
    if (path == nullptr || path[0] == '\0') return -1;
    if (strnlen(path, DOWNLOAD_PORT_PATH_MAX + 1) > DOWNLOAD_PORT_PATH_MAX) {
        RIL_LOGE("port path too long (at most %d characters): %.64s...", DOWNLOAD_PORT_PATH_MAX, path);
        return -1;
    }
    if (openDevice(path) != 0) return -1;
    RILDEBUG("wnv->open wnv succ");
    return 0;
}

void closeport(void) {
    if (fport >= 0) close(fport);
    fport = -1;
}

int Write(const unsigned char *buf, int len) {
    if (buf == nullptr || len < 0 || fport < 0) return -1;
    // a frame goes out whole: a short write on the non-blocking port waits
    // for room, up to a second
    int done = 0;
    unsigned int start = GetTickCount();
    while (done < len) {
        ssize_t w = write(fport, buf + done, (size_t)(len - done));
        if (w > 0) {
            done += (int)w;
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && GetTickCount() - start < 1000u * (unsigned)ril_time_scale()) {
            struct pollfd p = {fport, POLLOUT, 0};
            poll(&p, 1, 10);
            continue;
        }
        break;
    }
    RILDEBUG("write total: %d, succ:%d\n", len, done);
    return done == len ? len : (done > 0 ? done : -1);
}

int Read(unsigned char *buf, int size) {
    if (buf == nullptr || size <= 0 || fport < 0) return -1;
    ssize_t r;
    do {
        r = read(fport, buf, (size_t)size);
    } while (r < 0 && errno == EINTR);
    return (int)r;
}

int writecomm(const char *text) {
    if (text == nullptr) return -1;
    return Write((const unsigned char *)text, (int)strlen(text));
}

int setdownloadmode(void) {
    int r = -1;
    for (int i = 0; i < 7; i++) {
        r = Write(kDownloadModeRequest, (int)sizeof(kDownloadModeRequest));
        if (r < 0) break;
    }
    return r;
}

int setbegindown(void) { return Write(kStartRequest, (int)sizeof(kStartRequest)); }

int ATtest(void) {
    writecomm("AT\r");
    for (int i = 0; i < 4; i++) {
        unsigned char buf[128];
        int r = Read(buf, (int)sizeof(buf));
        // the reply is raw bytes, not a string: a bounded search
        if (r > 0 && memstr(buf, r, (const unsigned char *)"OK", 2) == 0) return 0;
        sleepMsec(1000);
    }
    return -1;
}

unsigned short crc_update(const unsigned char *buf, int len) {
    unsigned short crc = 0xFFFF;
    if (buf == nullptr) len = 0;
    for (int i = 0; i < len; i++) crc = (unsigned short)((crc >> 8) ^ crctab16[(crc ^ buf[i]) & 0xFF]);
    return (unsigned short)~crc;
}

int convert_find(unsigned char *out, const unsigned char *frame, int n) {
    if (out == nullptr || frame == nullptr || n < 0) return -1;
    int k = 0;
    out[k++] = frame[0];
    for (int i = 1; i <= n; i++) {
        unsigned char b = frame[i];
        if (b == kFlag || b == kEscape) {
            out[k++] = kEscape;
            out[k++] = (unsigned char)(b ^ 0x20);
        } else {
            out[k++] = b;
        }
    }
    out[k++] = kFlag;
    out[k] = 0;
    return k;
}

int memstr(const unsigned char *data, int dlen, const unsigned char *pattern, int plen) {
    if (data == nullptr || pattern == nullptr || plen <= 0 || dlen < plen) return -1;
    for (int i = 0; i + plen <= dlen; i++)
        if (memcmp(data + i, pattern, (size_t)plen) == 0) return 0;
    return -1;
}

int Issendpass(const unsigned char *expected, int n) {
    for (int i = 0; i < 11; i++) {
        unsigned char buf[1024];
        int r = Read(buf, (int)sizeof(buf));
        if (r > 0) return memstr(buf, r, expected, n) == 0 ? 0 : -1;
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            printf("Issendpass()->read: %d\n", r);
            sleepMsec(1);
        } else {
            waitInput(answerWaitMs());
        }
    }
    return -1;
}

int SendSyncCmd(const unsigned char *frame, int len, const unsigned char *expected, int n, int retries) {
    if (frame == nullptr || len <= 0) return -1;
    for (int send = 0; send <= retries; send++) {
        // an answer still on its way from an earlier send must not be taken
        // for this send's
        if (fport >= 0) tcflush(fport, TCIFLUSH);
        if (Write(frame, len) != len) continue;
        sleepMsec(16);
        if (Issendpass(expected, n) == 0) return 0;
    }
    return -1;
}

void debug(const char *title, const unsigned char *buf, int len, int number) {
    if (buf == nullptr) len = 0;
    for (int i = 0; i < len; i++) {
        printf(i % 16 == 0 ? "%02x" : " %02x", buf[i]);
        if (i % 16 == 15) printf("\n");
    }
    if (len > 0 && len % 16 != 0) printf("\n");
    printf("[%s:%d %d]\n", title != nullptr ? title : "", len, number);
}

long checkhexfile(const char *path, unsigned int *address, char *reason, int reasonlen) {
    ril_download::HexImage image;
    std::string why;
    bool ok = loadProgrammer(path, &image, &why);
    if (reason != nullptr && reasonlen > 0) snprintf(reason, (size_t)reasonlen, "%s", ok ? "" : why.c_str());
    if (!ok) return -1;
    if (address != nullptr) *address = image.address;
    return (long)image.data.size();
}

int writehex_path(const char *path) {
    ril_download::HexImage image;
    std::string why;
    if (!loadProgrammer(path, &image, &why)) {
        if (why.empty()) printf("Open HexFile Error!\n");
        else printf("%s: %s, nothing sent\n", kProgrammerName, why.c_str());
        return -1;
    }
    const long total = (long)image.data.size();
    const long packets = (total + DOWNLOAD_PROGRAMMER_PACKET - 1) / DOWNLOAD_PROGRAMMER_PACKET;
    for (long k = 0; k < packets; k++) {
        long off = k * DOWNLOAD_PROGRAMMER_PACKET;
        long n = total - off < DOWNLOAD_PROGRAMMER_PACKET ? total - off : DOWNLOAD_PROGRAMMER_PACKET;
        uint32_t addr = image.address + (uint32_t)off;
        unsigned char body[7 + DOWNLOAD_PROGRAMMER_PACKET];
        body[0] = kCmdWrite;
        body[1] = (unsigned char)(addr >> 24);
        body[2] = (unsigned char)(addr >> 16);
        body[3] = (unsigned char)(addr >> 8);
        body[4] = (unsigned char)addr;
        body[5] = (unsigned char)(n >> 8);
        body[6] = (unsigned char)n;
        memcpy(body + 7, image.data.data() + off, (size_t)n);
        unsigned char frame[kMaxFrame];
        int flen = buildFrame(body, (size_t)(7 + n), frame, sizeof(frame));
        if (flen < 0 || SendSyncCmd(frame, flen, kAck, (int)sizeof(kAck), 3) != 0) {
            printf("SendSyncCmd()->%ld failure\n", k + 1);
            return -1;
        }
        printf("%s->pass length=%d current=%d percent%ld%%\n", kProgrammerName, flen, DOWNLOAD_PROGRAMMER_PACKET,
               (k + 1) * 100 / packets);
        progress(kProgrammerName, off + n, total);
        sleepMsec(1);
    }
    return 0;
}

int writehex(void) { return writehex_path(kProgrammerName); }

int writembnfile(const char *path) {
    char name[DOWNLOAD_PATH_MAX];
    if (!pathFits(path, name, sizeof(name))) return -1;
    printf("opening %s...\n", name);
    FILE *f = openFile(name);
    if (f == nullptr) return -1;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        fclose(f);
        printf("%s: not a regular file\n", name);
        return -1;
    }
    printf("open %s success\n", name);
    const long size = (long)st.st_size;
    if (size >= DOWNLOAD_IMAGE_LIMIT) {
        fclose(f);
        printf("%s: %ld bytes, images must stay below %ld bytes; nothing sent\n", name, size, DOWNLOAD_IMAGE_LIMIT);
        return -1;
    }
    const long blocks = size / DOWNLOAD_IMAGE_BLOCK + (size % DOWNLOAD_IMAGE_BLOCK != 0 ? 1 : 0);
    if (blocks == 0) {
        fclose(f);
        printf("%s: empty file\n", name);
        return -1;
    }
    Answers answers;
    long lastPercent = -1;
    for (long i = 0; i < blocks; i++) {
        unsigned char body[5 + DOWNLOAD_IMAGE_BLOCK];
        long off = i * DOWNLOAD_IMAGE_BLOCK;
        size_t got = 0;
        if (fseek(f, off, SEEK_SET) == 0) got = fread(body + 5, 1, DOWNLOAD_IMAGE_BLOCK, f);
        if (got == 0) {
            fclose(f);
            printf("%s: read error at %ld\n", name, off);
            return -1;
        }
        // command 0x07 and the block's offset, 32-bit little-endian
        body[0] = kCmdBlock;
        body[1] = (unsigned char)off;
        body[2] = (unsigned char)(off >> 8);
        body[3] = (unsigned char)(off >> 16);
        body[4] = (unsigned char)(off >> 24);
        unsigned char frame[kMaxFrame];
        int flen = buildFrame(body, 5 + got, frame, sizeof(frame));
        if (flen < 0 || Write(frame, flen) != flen) {
            fclose(f);
            printf("%s: write failed at block %ld\n", name, i);
            return -1;
        }
        sleepMsec(16);
        bool last = i == blocks - 1;
        if (i % 3 == 0 || last) {
            // every block sent so far must be taken, none refused
            if (answers.await(i + 1, 11, answerWaitMs()) != 0) {
                fclose(f);
                printf("%s: block %ld %s\n", name, answers.refused ? answers.acked : i,
                       answers.refused ? "refused by the module" : "not acknowledged");
                return -1;
            }
        }
        long percent = (long)((long long)i * 102400 / size);
        bool show = blocks >= 1024 ? (i % 30 == 0 || last) : percent != lastPercent;
        if (show) printf("file:%s, totoal:%ld, now: %ld. percent:%ld\n", name, size, off, percent);
        lastPercent = percent;
        progress(name, off + (long)got, size);
    }
    fclose(f);
    return 0;
}

int writehdfile(const char *path, const unsigned char *hdr) {
    char name[DOWNLOAD_PATH_MAX];
    if (hdr == nullptr || !pathFits(path, name, sizeof(name))) return -1;
    FILE *f = openFile(name);
    if (f == nullptr) {
        printf("open file error %s", name);
        return -1;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > DOWNLOAD_HEADER_MAX) {
        fclose(f);
        printf("%s: header files hold at most %d bytes; nothing sent\n", name, DOWNLOAD_HEADER_MAX);
        return -1;
    }
    unsigned char body[2 + DOWNLOAD_HEADER_MAX];
    size_t got = fread(body + 2, 1, DOWNLOAD_HEADER_MAX, f);
    fclose(f);
    if (got == 0) return -1;
    body[0] = hdr[0];
    body[1] = hdr[1];
    unsigned char frame[kMaxFrame];
    int flen = buildFrame(body, 2 + got, frame, sizeof(frame));
    if (flen < 0 || Write(frame, flen) != flen) return -1;
    Answers answers;
    int waitMs = answerWaitMs() > 2 ? answerWaitMs() : 2;
    if (answers.await(1, 20, waitMs) != 0) {
        printf("%s: %s\n", name, answers.refused ? "refused by the module" : "not acknowledged");
        return -1;
    }
    progress(name, (long)got, (long)got);
    printf("Down file: %s over\n", name);
    return 0;
}

}  // extern "C"
