// A client of the host binder wire format written from the README's
// description alone (no project code): packets of seven little-endian
// words and a parcel, over a SOCK_SEQPACKET Unix socket.
#pragma once

#include <poll.h>
#include <stdint.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace wire {

constexpr int32_t kOk = 0, kPermissionDenied = -1, kBadValue = -22, kDeadObject = -32, kUnknown = -74;
constexpr uint32_t kPing = 0x5f504e47, kInterface = 0x5f4e5446;

struct Bytes {
    std::vector<uint8_t> b;
    Bytes &i32(int32_t v) {
        for (int i = 0; i < 4; i++) b.push_back((uint8_t)((uint32_t)v >> (8 * i)));
        return *this;
    }
    Bytes &pad() {
        while (b.size() % 4) b.push_back(0);
        return *this;
    }
    Bytes &str8(const std::string &s) {
        i32((int32_t)s.size());
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
        return pad();
    }
    // ASCII text only
    Bytes &str16(const std::string &s) {
        i32((int32_t)s.size());
        for (char c : s) {
            b.push_back((uint8_t)c);
            b.push_back(0);
        }
        b.push_back(0);
        b.push_back(0);
        return pad();
    }
    Bytes &token(const std::string &descriptor) { return i32(0).str16(descriptor); }
    Bytes &binder(uint64_t id) { return i32(1).i32(0).i32((int32_t)(id & 0xffffffffu)).i32((int32_t)(id >> 32)); }
    Bytes &nullBinder() { return i32(0).i32(0).i32(0).i32(0); }
};

struct Packet {
    uint32_t kind = 0, seq = 0;
    int32_t code = 0;
    uint32_t flags = 0, target = 0, size = 0, zero = 0;
    std::vector<uint8_t> data;
};

inline uint32_t le32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

class Client {
public:
    Client() {}
    ~Client() {
        if (fd_ >= 0) close(fd_);
    }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool open(const std::string &path) {
        fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        struct sockaddr_un a;
        memset(&a, 0, sizeof(a));
        a.sun_family = AF_UNIX;
        if (path.size() >= sizeof(a.sun_path)) return false;
        memcpy(a.sun_path, path.c_str(), path.size());
        return fd_ >= 0 && connect(fd_, (struct sockaddr *)&a, sizeof(a)) == 0;
    }
    int fd() const { return fd_; }

    bool sendRaw(const std::vector<uint8_t> &bytes) {
        return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == (ssize_t)bytes.size();
    }
    static std::vector<uint8_t> packet(uint32_t kind, uint32_t seq, int32_t code, uint32_t flags, uint32_t target,
                                       const std::vector<uint8_t> &data, int32_t sizeWord = -1) {
        Bytes h;
        h.i32((int32_t)kind).i32((int32_t)seq).i32(code).i32((int32_t)flags).i32((int32_t)target);
        h.i32(sizeWord >= 0 ? sizeWord : (int32_t)data.size()).i32(0);
        h.b.insert(h.b.end(), data.begin(), data.end());
        return h.b;
    }
    bool transaction(uint32_t seq, uint32_t code, const Bytes &data, uint32_t flags = 0, uint32_t target = 0) {
        return sendRaw(packet(1, seq, (int32_t)code, flags, target, data.b));
    }
    bool replyTo(const Packet &t, int32_t status, const Bytes &data = Bytes()) {
        return sendRaw(packet(2, t.seq, status, 0, 0, data.b));
    }

    // next packet; false on end of file or deadline (eof tells which)
    bool next(Packet &p, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        eof = false;
        struct pollfd pfd = {fd_, POLLIN, 0};
        int pr;
        do {
            pr = poll(&pfd, 1, (int)timeout.count());
        } while (pr < 0 && errno == EINTR);
        if (pr <= 0) return false;
        std::vector<uint8_t> buf(70000);
        ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
        if (n <= 0) {
            eof = true;
            return false;
        }
        if (n < 28) return false;
        const uint8_t *b = buf.data();
        p.kind = le32(b);
        p.seq = le32(b + 4);
        p.code = (int32_t)le32(b + 8);
        p.flags = le32(b + 12);
        p.target = le32(b + 16);
        p.size = le32(b + 20);
        p.zero = le32(b + 24);
        p.data.assign(b + 28, b + n);
        return true;
    }
    // sends a transaction and returns the status of its reply; the packets
    // that came before the reply are kept in before. INT32_MIN: no reply
    // (end of file or deadline)
    int32_t call(uint32_t code, const Bytes &data, std::vector<Packet> *before = nullptr,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        uint32_t seq = ++seq_;
        if (!transaction(seq, code, data)) return INT32_MIN;
        for (;;) {
            Packet p;
            if (!next(p, timeout)) return INT32_MIN;
            if (p.kind == 2 && p.seq == seq) {
                lastReply = p;
                return p.code;
            }
            if (before != nullptr) before->push_back(p);
        }
    }

    bool eof = false;
    Packet lastReply;

private:
    int fd_ = -1;
    uint32_t seq_ = 100;
};

}  // namespace wire
