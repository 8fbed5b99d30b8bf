// Host binder stand-in: objects, connections over SOCK_SEQPACKET Unix
// sockets, the thread pool and the service manager. The wire format is the
// README's (host conventions, "Binder on the host").
//
// Every connection is read by at most one thread at a time, the thread that
// holds its claim: a thread waiting for the reply to its own transaction,
// or the connection's serving thread between transactions. Whoever reads
// serves the transactions that arrive, so a service may call back a client
// that still waits for its reply, and the other way round.
#include <binder/Binder.h>
#include <binder/BpBinder.h>
#include <binder/IPCThreadState.h>
#include <binder/IServiceManager.h>
#include <binder/Parcel.h>
#include <binder/ProcessState.h>
#include <ril_host_binder.h>

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "wire.h"

namespace android {
namespace hostbinder {

bool decodeHeader(const uint8_t *p, size_t len, Header *h) {
    if (p == nullptr || len < kHeaderSize) return false;
    h->kind = getLe32(p);
    h->seq = getLe32(p + 4);
    h->code = (int32_t)getLe32(p + 8);
    h->flags = getLe32(p + 12);
    h->target = getLe32(p + 16);
    h->size = getLe32(p + 20);
    h->zero = getLe32(p + 24);
    return true;
}

void encodeHeader(const Header &h, uint8_t *out) {
    putLe32(out, h.kind);
    putLe32(out + 4, h.seq);
    putLe32(out + 8, (uint32_t)h.code);
    putLe32(out + 12, h.flags);
    putLe32(out + 16, h.target);
    putLe32(out + 20, h.size);
    putLe32(out + 24, h.zero);
}

namespace {

std::atomic<long> g_replyTimeoutMs{0};
std::atomic<int> g_liveConnections{0};
// accepted connections beyond this are closed at once
constexpr int kMaxConnections = 64;

struct CallingIdentity {
    bool inTransaction = false;
    uid_t uid = 0;
    pid_t pid = 0;
};
thread_local CallingIdentity t_calling;

}  // namespace

class Connection : public RefBase {
public:
    Connection(int fd, const sp<IBinder> &root) : mFd(fd), mRoot(root) {
        struct ucred cred;
        socklen_t len = sizeof(cred);
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && len == sizeof(cred)) {
            mPeerUid = cred.uid;
            mPeerPid = cred.pid;
            mHaveCred = true;
        }
        g_liveConnections++;
    }
    ~Connection() override;

    bool dead() const {
        std::lock_guard<std::mutex> l(mLock);
        return mDead;
    }

    // sends a transaction to target and, unless one-way, waits for the
    // reply, serving what the peer sends meanwhile
    status_t transact(uint64_t target, uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags) {
        if (target > 0xFFFFFFFFu) return BAD_VALUE;
        if (data.dataSize() > kMaxParcel) return BAD_VALUE;
        Claim claim(this);
        if (dead()) return DEAD_OBJECT;
        uint32_t seq = ++mSeq;
        Header h{KIND_TRANSACTION, seq, (int32_t)code, flags & IBinder::FLAG_ONEWAY, (uint32_t)target,
                 (uint32_t)data.dataSize(), 0};
        // a one-way call never waits, not even for room in a full socket
        bool oneway = (flags & IBinder::FLAG_ONEWAY) != 0;
        SendResult sent = sendPacket(h, data, oneway);
        if (sent == SendFull) return WOULD_BLOCK;
        if (sent != SendOk) return DEAD_OBJECT;
        if (oneway) return NO_ERROR;
        long timeoutMs = g_replyTimeoutMs.load();
        struct timespec start;
        clock_gettime(CLOCK_MONOTONIC, &start);
        for (;;) {
            int waitMs = -1;
            if (timeoutMs > 0) {
                struct timespec now;
                clock_gettime(CLOCK_MONOTONIC, &now);
                long elapsed = (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
                if (elapsed >= timeoutMs) return TIMED_OUT;
                waitMs = (int)(timeoutMs - elapsed);
            }
            struct pollfd pfd = {mFd, POLLIN, 0};
            int pr = poll(&pfd, 1, waitMs);
            if (pr < 0 && errno == EINTR) continue;
            if (pr < 0) {
                markDead();
                return DEAD_OBJECT;
            }
            if (pr == 0) continue;
            Received r = receive(false);
            if (r.state == Received::Closed) return DEAD_OBJECT;
            if (r.state != Received::Packet) continue;
            if (r.h.kind == KIND_REPLY && r.h.seq == seq) {
                if (r.malformed) return BAD_VALUE;
                if (r.h.code == NO_ERROR && reply != nullptr) {
                    reply->setData(r.payload.data(), r.payload.size());
                    reply->hostSetOrigin(this);
                }
                return r.h.code;
            }
            if (r.h.kind == KIND_TRANSACTION) dispatch(r);
            // a late reply to a transaction that timed out, or junk: dropped
        }
    }

    // the serving loop of a connection's own thread; returns when it closes
    void serve() {
        for (;;) {
            struct pollfd pfd = {mFd, POLLIN, 0};
            int pr = poll(&pfd, 1, -1);
            if (pr < 0 && errno == EINTR) continue;
            if (pr < 0) {
                markDead();
                return;
            }
            Claim claim(this);
            if (dead()) return;
            Received r = receive(true);
            if (r.state == Received::Closed) return;
            if (r.state == Received::Packet && r.h.kind == KIND_TRANSACTION) dispatch(r);
        }
    }

    sp<IBinder> proxy(uint64_t id) { return new BpBinder(this, id); }
    uid_t peerUid() const { return mPeerUid; }
    bool countedForUid = false;  // an accepted connection, counted per uid

private:
    struct Received {
        enum State { Nothing, Packet, Closed } state = Nothing;
        Header h{};
        std::vector<uint8_t> payload;
        bool malformed = false;
    };

    // the claim: recursive for its holder, exclusive between threads
    class Claim {
    public:
        explicit Claim(Connection *c) : mC(c) {
            std::unique_lock<std::mutex> l(c->mClaimLock);
            pthread_t self = pthread_self();
            c->mClaimCond.wait(l, [&] { return c->mDepth == 0 || pthread_equal(c->mOwner, self); });
            c->mOwner = self;
            c->mDepth++;
        }
        ~Claim() {
            std::lock_guard<std::mutex> l(mC->mClaimLock);
            if (--mC->mDepth == 0) mC->mClaimCond.notify_all();
        }

    private:
        Connection *mC;
    };

    void markDead() {
        std::map<uint32_t, sp<IBinder>> dropped;
        {
            std::lock_guard<std::mutex> l(mLock);
            if (mDead) return;
            mDead = true;
            dropped.swap(mExported);
        }
        shutdown(mFd, SHUT_RDWR);
        // the objects it carried are released here, outside the lock
    }

    enum SendResult { SendOk, SendFull, SendDead };
    SendResult sendPacket(const Header &h, const Parcel &data, bool nonBlocking = false) {
        std::vector<uint8_t> packet(kHeaderSize + data.dataSize());
        encodeHeader(h, packet.data());
        if (data.dataSize() > 0) memcpy(packet.data() + kHeaderSize, data.data(), data.dataSize());
        {
            std::lock_guard<std::mutex> l(mLock);
            if (mDead) return SendDead;
            for (const auto &o : data.hostObjects()) {
                BBinder *local = o->localBinder();
                if (local != nullptr) mExported[local->hostObjectId()] = o;
            }
        }
        ssize_t w;
        do {
            w = send(mFd, packet.data(), packet.size(), MSG_NOSIGNAL | (nonBlocking ? MSG_DONTWAIT : 0));
        } while (w < 0 && errno == EINTR);
        if (w < 0 && nonBlocking && (errno == EAGAIN || errno == EWOULDBLOCK)) return SendFull;
        if (w != (ssize_t)packet.size()) {
            markDead();
            return SendDead;
        }
        return SendOk;
    }

    Received receive(bool nonBlocking) {
        Received r;
        mBuf.resize(kHeaderSize + kMaxParcel);
        struct iovec iov = {mBuf.data(), mBuf.size()};
        struct msghdr msg;
        memset(&msg, 0, sizeof(msg));
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        ssize_t n;
        do {
            n = recvmsg(mFd, &msg, nonBlocking ? MSG_DONTWAIT : 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return r;
        if (n <= 0) {
            markDead();
            r.state = Received::Closed;
            return r;
        }
        if (!decodeHeader(mBuf.data(), (size_t)n, &r.h)) return r;  // too short: dropped
        r.state = Received::Packet;
        size_t payload = (size_t)n - kHeaderSize;
        if ((msg.msg_flags & MSG_TRUNC) || r.h.size != payload || r.h.zero != 0) {
            r.malformed = true;
            return r;
        }
        r.payload.assign(mBuf.begin() + kHeaderSize, mBuf.begin() + (long)n);
        return r;
    }

    void reply(const Header &t, status_t status, const Parcel &data) {
        if (t.flags & IBinder::FLAG_ONEWAY) return;
        Parcel empty;
        const Parcel &out = status == NO_ERROR ? data : empty;
        Header h{KIND_REPLY, t.seq, status, 0, 0, (uint32_t)out.dataSize(), 0};
        sendPacket(h, out);
    }

    void dispatch(const Received &r) {
        Parcel out;
        if (r.malformed) {
            reply(r.h, BAD_VALUE, out);
            return;
        }
        sp<IBinder> target;
        {
            std::lock_guard<std::mutex> l(mLock);
            if (r.h.target == 0) {
                target = mRoot;
            } else {
                auto it = mExported.find(r.h.target);
                if (it != mExported.end()) target = it->second;
            }
        }
        if (target == nullptr) {
            reply(r.h, DEAD_OBJECT, out);
            return;
        }
        Parcel in;
        in.setData(r.payload.data(), r.payload.size());
        in.hostSetOrigin(this);
        CallingIdentity saved = t_calling;
        t_calling.inTransaction = true;
        t_calling.uid = mHaveCred ? mPeerUid : (uid_t)-1;
        t_calling.pid = mHaveCred ? mPeerPid : 0;
        status_t st = target->transact((uint32_t)r.h.code, in, &out, r.h.flags & IBinder::FLAG_ONEWAY);
        t_calling = saved;
        reply(r.h, st, out);
    }

    int mFd;
    sp<IBinder> mRoot;  // target 0: the service this connection was opened to
    bool mHaveCred = false;
    uid_t mPeerUid = (uid_t)-1;
    pid_t mPeerPid = 0;

    mutable std::mutex mLock;
    bool mDead = false;
    std::map<uint32_t, sp<IBinder>> mExported;  // our objects the peer may call

    std::mutex mClaimLock;
    std::condition_variable mClaimCond;
    pthread_t mOwner{};
    int mDepth = 0;

    uint32_t mSeq = 0;
    std::vector<uint8_t> mBuf;
};

sp<IBinder> proxyFor(const sp<Connection> &origin, uint64_t id) {
    if (origin == nullptr) return nullptr;
    return origin->proxy(id);
}

namespace {

struct Listener {
    std::string name;
    int fd;
    sp<IBinder> service;
    bool accepting;
};

// Never destroyed: a process may end with exit() while its pool serves.
std::mutex g_lock;
bool g_poolStarted = false;
std::vector<Listener> &g_listeners = *new std::vector<Listener>();
std::map<std::string, sp<IBinder>> &g_local = *new std::map<std::string, sp<IBinder>>();  // this process's services
// accepted connections per caller uid: one caller cannot take them all
std::map<uid_t, int> &g_perUid = *new std::map<uid_t, int>();
constexpr int kMaxConnectionsPerUid = 16;

void serveThread(sp<Connection> c) {
    c->serve();
}

void startServing(const sp<Connection> &c) { std::thread(serveThread, c).detach(); }

void acceptLoop(int fd, sp<IBinder> service) {
    for (;;) {
        int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // out of descriptors or similar: wait for the pressure to go
            struct pollfd pfd = {fd, POLLIN, 0};
            poll(&pfd, 1, 100);
            continue;
        }
        struct ucred cred;
        socklen_t len = sizeof(cred);
        bool admit = g_liveConnections.load() < kMaxConnections &&
                     getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && len == sizeof(cred);
        if (admit) {
            std::lock_guard<std::mutex> l(g_lock);
            admit = g_perUid[cred.uid] < kMaxConnectionsPerUid;
            if (admit) g_perUid[cred.uid]++;
        }
        if (!admit) {
            close(c);
            continue;
        }
        sp<Connection> conn = new Connection(c, service);
        conn->countedForUid = true;
        startServing(conn);
    }
}

void startAccepting(Listener &l) {
    if (l.accepting) return;
    l.accepting = true;
    std::thread(acceptLoop, l.fd, l.service).detach();
}

bool validName(const std::string &name) {
    if (name.empty() || name.size() > 100 || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c == '/' || c <= 0x20 || c >= 0x7f) return false;
    return true;
}

bool socketPath(const std::string &name, struct sockaddr_un *addr) {
    memset(addr, 0, sizeof(*addr));
    addr->sun_family = AF_UNIX;
    int n = snprintf(addr->sun_path, sizeof(addr->sun_path), "%s/%s", ril_host_binder_dir(), name.c_str());
    return n > 0 && (size_t)n < sizeof(addr->sun_path);
}

int connectTo(const struct sockaddr_un &addr) {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int rc;
    do {
        rc = connect(fd, (const struct sockaddr *)&addr, sizeof(addr));
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

pthread_mutex_t g_dirLock = PTHREAD_MUTEX_INITIALIZER;
char g_dir[256];

}  // namespace
Connection::~Connection() {
    close(mFd);
    g_liveConnections--;
    if (countedForUid) {
        std::lock_guard<std::mutex> l(g_lock);
        if (--g_perUid[mPeerUid] <= 0) g_perUid.erase(mPeerUid);
    }
}

}  // namespace hostbinder

using namespace hostbinder;

/* ---- parcels: the parts that hold a connection ---- */

Parcel::Parcel() : mPos(0) {}
Parcel::~Parcel() {}

void Parcel::freeData() {
    mData.clear();
    mPos = 0;
    mObjects.clear();
    mOrigin.clear();
}

void Parcel::hostSetOrigin(const sp<hostbinder::Connection> &origin) { mOrigin = origin; }

/* ---- objects ---- */

BBinder::BBinder() : mHostId(0) {}
BBinder::~BBinder() {}

const String16 &BBinder::getInterfaceDescriptor() const {
    static const String16 kEmpty;
    return kEmpty;
}

uint32_t BBinder::hostObjectId() const {
    static std::atomic<uint32_t> s_next{1};
    static std::mutex s_lock;
    std::lock_guard<std::mutex> l(s_lock);
    if (mHostId == 0) {
        mHostId = s_next++;
        if (s_next.load() > 0x7FFFFFFFu) s_next = 1;
    }
    return mHostId;
}

status_t BBinder::transact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags) {
    data.setDataPosition(0);
    status_t st = code == PING_TRANSACTION ? pingBinder() : onTransact(code, data, reply, flags);
    if (reply != nullptr) reply->setDataPosition(0);
    return st;
}

status_t BBinder::onTransact(uint32_t code, const Parcel &, Parcel *reply, uint32_t) {
    if (code == INTERFACE_TRANSACTION) {
        if (reply != nullptr) reply->writeString16(getInterfaceDescriptor());
        return NO_ERROR;
    }
    return UNKNOWN_TRANSACTION;
}

BpBinder::BpBinder(const sp<Connection> &connection, uint64_t id) : mConnection(connection), mId(id) {}
BpBinder::~BpBinder() {}

bool BpBinder::isBinderAlive() const { return mConnection != nullptr && !mConnection->dead(); }

status_t BpBinder::transact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags) {
    if (mConnection == nullptr) return DEAD_OBJECT;
    status_t st = mConnection->transact(mId, code, data, reply, flags);
    if (reply != nullptr) reply->setDataPosition(0);
    return st;
}

status_t BpBinder::pingBinder() {
    Parcel data, reply;
    return transact(PING_TRANSACTION, data, &reply);
}

const String16 &BpBinder::getInterfaceDescriptor() const {
    Parcel data, reply;
    if (const_cast<BpBinder *>(this)->transact(INTERFACE_TRANSACTION, data, &reply) == NO_ERROR) {
        String16 d;
        if (reply.readString16(&d) == NO_ERROR) mDescriptor = d;
    }
    return mDescriptor;
}

/* ---- process and thread state ---- */

sp<ProcessState> ProcessState::self() {
    static ProcessState *s_self = [] {
        ProcessState *p = new ProcessState();
        p->incStrong(nullptr);  // lives for the life of the process
        return p;
    }();
    return s_self;
}

void ProcessState::startThreadPool() {
    std::lock_guard<std::mutex> l(g_lock);
    if (g_poolStarted) return;
    g_poolStarted = true;
    for (auto &listener : g_listeners) startAccepting(listener);
}

status_t ProcessState::setThreadPoolMaxThreadCount(size_t) { return NO_ERROR; }

bool ProcessState::hostThreadPoolStarted() const {
    std::lock_guard<std::mutex> l(g_lock);
    return g_poolStarted;
}

IPCThreadState *IPCThreadState::self() {
    static IPCThreadState s_state;
    return &s_state;
}

pid_t IPCThreadState::getCallingPid() const { return t_calling.inTransaction ? t_calling.pid : getpid(); }
uid_t IPCThreadState::getCallingUid() const { return t_calling.inTransaction ? t_calling.uid : geteuid(); }

void IPCThreadState::joinThreadPool(bool) {
    ProcessState::self()->startThreadPool();
    // connections are served by their own threads; this one stays in the pool
    std::mutex m;
    std::condition_variable never;
    std::unique_lock<std::mutex> l(m);
    for (;;) never.wait(l);
}

/* ---- service manager ---- */

sp<IServiceManager> defaultServiceManager() {
    static IServiceManager *s_sm = [] {
        IServiceManager *sm = new IServiceManager();
        sm->incStrong(nullptr);
        return sm;
    }();
    return s_sm;
}

sp<IBinder> IServiceManager::checkService(const String16 &name16) const {
    std::string name = String8(name16).string();
    if (!validName(name)) return nullptr;
    {
        std::lock_guard<std::mutex> l(g_lock);
        auto it = g_local.find(name);
        if (it != g_local.end()) return it->second;
    }
    struct sockaddr_un addr;
    if (!socketPath(name, &addr)) return nullptr;
    int fd = connectTo(addr);
    if (fd < 0) return nullptr;
    sp<Connection> c = new Connection(fd, nullptr);
    // without a pool, the connection is read only while a thread of ours
    // waits on it for a reply
    {
        std::lock_guard<std::mutex> l(g_lock);
        if (g_poolStarted) startServing(c);
    }
    return c->proxy(0);
}

sp<IBinder> IServiceManager::getService(const String16 &name) const {
    for (int i = 0; i < 50; i++) {
        sp<IBinder> b = checkService(name);
        if (b != nullptr) return b;
        struct timespec ts = {0, 100 * 1000 * 1000};
        nanosleep(&ts, nullptr);
    }
    return nullptr;
}

status_t IServiceManager::addService(const String16 &name16, const sp<IBinder> &service, bool) {
    std::string name = String8(name16).string();
    if (!validName(name) || service == nullptr) return BAD_VALUE;
    struct sockaddr_un addr;
    if (!socketPath(name, &addr)) return BAD_VALUE;
    int probe = connectTo(addr);
    if (probe >= 0) {
        close(probe);
        return ALREADY_EXISTS;
    }
    mkdir(ril_host_binder_dir(), 0755);  // a directory named but not made yet
    unlink(addr.sun_path);  // a stale socket of an ended process
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return -errno;
    if (bind(fd, (const struct sockaddr *)&addr, sizeof(addr)) != 0 || chmod(addr.sun_path, 0666) != 0 ||
        listen(fd, 16) != 0) {
        int e = errno;
        close(fd);
        return e == EADDRINUSE ? ALREADY_EXISTS : -e;
    }
    std::lock_guard<std::mutex> l(g_lock);
    g_local[name] = service;
    g_listeners.push_back({name, fd, service, false});
    if (g_poolStarted) startAccepting(g_listeners.back());
    return NO_ERROR;
}

}  // namespace android

extern "C" const char *ril_host_binder_dir(void) {
    using android::hostbinder::g_dir;
    pthread_mutex_lock(&android::hostbinder::g_dirLock);
    const char *env = getenv("RIL_BINDER_DIR");
    if (env != nullptr && *env != '\0') {
        snprintf(g_dir, sizeof(g_dir), "%s", env);
    } else if (g_dir[0] == '\0') {
        char tmpl[] = "/tmp/ril-binder-XXXXXX";
        if (mkdtemp(tmpl) != nullptr) {
            chmod(tmpl, 0755);
            snprintf(g_dir, sizeof(g_dir), "%s", tmpl);
            setenv("RIL_BINDER_DIR", g_dir, 1);
        }
    }
    pthread_mutex_unlock(&android::hostbinder::g_dirLock);
    return g_dir;
}

extern "C" void ril_host_binder_set_reply_timeout(long ms) {
    android::hostbinder::g_replyTimeoutMs = ms < 0 ? 0 : ms;
}
