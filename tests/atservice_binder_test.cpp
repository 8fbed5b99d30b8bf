// The host binder layer: a service of this process spoken to by a client
// written from the wire description alone, and the layer's own client
// against a service in a child process.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <binder/Binder.h>
#include <binder/IPCThreadState.h>
#include <binder/IServiceManager.h>
#include <binder/Parcel.h>
#include <binder/ProcessState.h>
#include <ril_host_binder.h>

#include "atservice_wire.h"
#include "daemon_harness.h"
#include "temp_root.h"

using namespace android;
using namespace std::chrono_literals;

namespace {

// code 1 echoes an int32, a String8 and a String16, then the caller's uid
// and pid; code 2 calls the binder it is given (code 7, int32 42) and
// answers that reply's int32 + 1; code 3 keeps a binder, code 4 calls it
class TestService : public BBinder {
public:
    const String16 &getInterfaceDescriptor() const override {
        static const String16 d("test.service");
        return d;
    }

protected:
    status_t onTransact(uint32_t code, const Parcel &data, Parcel *reply, uint32_t flags) override {
        switch (code) {
            case 1: {
                int32_t v;
                String8 s8;
                String16 s16;
                if (data.readInt32(&v) != NO_ERROR || data.readString8(&s8) != NO_ERROR ||
                    data.readString16(&s16) != NO_ERROR)
                    return BAD_VALUE;
                reply->writeInt32(v);
                reply->writeString8(s8);
                reply->writeString16(s16);
                reply->writeInt32((int32_t)IPCThreadState::self()->getCallingUid());
                reply->writeInt32((int32_t)IPCThreadState::self()->getCallingPid());
                calls++;
                return NO_ERROR;
            }
            case 2: {
                sp<IBinder> b = data.readStrongBinder();
                if (b == nullptr) return BAD_VALUE;
                Parcel out, in;
                out.writeInt32(42);
                status_t st = b->transact(7, out, &in);
                if (st != NO_ERROR) return st;
                reply->writeInt32(in.readInt32() + 1);
                return NO_ERROR;
            }
            case 3:
                kept = data.readStrongBinder();
                return kept != nullptr ? NO_ERROR : BAD_VALUE;
            case 4: {
                Parcel out, in;
                return kept != nullptr ? kept->transact(1, out, &in) : NO_INIT;
            }
            default:
                return BBinder::onTransact(code, data, reply, flags);
        }
    }

public:
    std::atomic<int> calls{0};
    sp<IBinder> kept;
};

class HostBinder : public ::testing::Test {
protected:
    void SetUp() override {
        dir = root.at("/binder");
        riltest::makeDirs(dir);
        setenv("RIL_BINDER_DIR", dir.c_str(), 1);
    }
    std::string socketOf(const std::string &name) { return dir + "/" + name; }
    sp<TestService> serve(const char *name = "test.service") {
        sp<TestService> s = new TestService();
        EXPECT_EQ(defaultServiceManager()->addService(String16(name), s), NO_ERROR);
        ProcessState::self()->startThreadPool();
        return s;
    }

    riltest::TempRoot root;
    std::string dir;
};

TEST_F(HostBinder, ServiceSpeaksTheWireFormat) {
    sp<TestService> s = serve();
    struct stat st;
    ASSERT_EQ(stat(socketOf("test.service").c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0666u) << "anyone may connect; the service decides";

    wire::Client c;
    ASSERT_TRUE(c.open(socketOf("test.service")));
    EXPECT_EQ(c.call(wire::kPing, wire::Bytes()), wire::kOk);
    EXPECT_TRUE(c.lastReply.data.empty());
    ASSERT_EQ(c.call(wire::kInterface, wire::Bytes()), wire::kOk);
    EXPECT_EQ(c.lastReply.data, wire::Bytes().str16("test.service").b);
    EXPECT_EQ(c.call(99, wire::Bytes()), wire::kUnknown);

    // values in, the same values and the caller's credentials out
    ASSERT_EQ(c.call(1, wire::Bytes().i32(-5).str8("h\xc3\xa9llo").str16("ril.at")), wire::kOk);
    EXPECT_EQ(c.lastReply.data,
              wire::Bytes().i32(-5).str8("h\xc3\xa9llo").str16("ril.at").i32((int32_t)geteuid()).i32(getpid()).b);
    EXPECT_EQ(c.lastReply.kind, 2u);
    EXPECT_EQ(c.lastReply.size, c.lastReply.data.size());
    EXPECT_EQ(c.lastReply.zero, 0u);

    // a one-way transaction has no reply: the next packet answers the ping
    ASSERT_TRUE(c.transaction(500, 1, wire::Bytes().i32(1).str8("x").str16("y"), 1));
    ASSERT_TRUE(c.transaction(501, wire::kPing, wire::Bytes()));
    wire::Packet p;
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.seq, 501u);
    EXPECT_EQ(s->calls.load(), 2);
}

TEST_F(HostBinder, MalformedPacketsAreAnsweredOrDroppedAndTheConnectionGoesOn) {
    serve();
    wire::Client c;
    ASSERT_TRUE(c.open(socketOf("test.service")));
    EXPECT_EQ(c.call(1, wire::Bytes().i32(1)), wire::kBadValue) << "parcel ends early";
    EXPECT_EQ(c.call(1, wire::Bytes().i32(1).i32(-7)), wire::kBadValue) << "negative String8 length";
    EXPECT_EQ(c.call(1, wire::Bytes().i32(1).i32(2).i32(0x41414141)), wire::kBadValue) << "no terminating 0";
    EXPECT_EQ(c.call(1, wire::Bytes().i32(1).i32(0x7fffffff)), wire::kBadValue) << "huge String8";
    EXPECT_EQ(c.call(2, wire::Bytes().i32(7).i32(0).i32(1).i32(0)), wire::kBadValue) << "unknown binder kind";
    // an object id nobody sent: a dead object
    ASSERT_TRUE(c.transaction(600, wire::kPing, wire::Bytes(), 0, 12345));
    wire::Packet p;
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.code, wire::kDeadObject);
    // the size word disagrees; the seventh word is not 0; a packet shorter
    // than a header (no reply: it has no sequence number to answer)
    ASSERT_TRUE(c.sendRaw(wire::Client::packet(1, 601, wire::kPing, 0, 0, wire::Bytes().i32(1).b, 8)));
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.seq, 601u);
    EXPECT_EQ(p.code, wire::kBadValue);
    std::vector<uint8_t> bad = wire::Client::packet(1, 602, wire::kPing, 0, 0, {});
    bad[24] = 1;
    ASSERT_TRUE(c.sendRaw(bad));
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.seq, 602u);
    EXPECT_EQ(p.code, wire::kBadValue);
    ASSERT_TRUE(c.sendRaw({1, 0, 0, 0, 9}));
    // a reply nobody waits for is dropped, too
    ASSERT_TRUE(c.sendRaw(wire::Client::packet(2, 77, 0, 0, 0, {})));
    // an oversize packet
    ASSERT_TRUE(c.sendRaw(wire::Client::packet(1, 603, 1, 0, 0, std::vector<uint8_t>(65 * 1024, 0))));
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.seq, 603u);
    EXPECT_EQ(p.code, wire::kBadValue);
    EXPECT_EQ(c.call(wire::kPing, wire::Bytes()), wire::kOk) << "the connection still serves";
}

TEST_F(HostBinder, ServiceCallsBackAWaitingClientAndServesItMeanwhile) {
    serve();
    wire::Client c;
    ASSERT_TRUE(c.open(socketOf("test.service")));
    ASSERT_TRUE(c.transaction(700, 2, wire::Bytes().binder(5)));
    wire::Packet cb;
    ASSERT_TRUE(c.next(cb));
    EXPECT_EQ(cb.kind, 1u);
    EXPECT_EQ(cb.code, 7);
    EXPECT_EQ(cb.target, 5u) << "the object id the client sent";
    EXPECT_EQ(cb.flags, 0u);
    EXPECT_EQ(cb.data, wire::Bytes().i32(42).b);
    // while the service waits for our answer it still serves us
    ASSERT_TRUE(c.transaction(701, wire::kPing, wire::Bytes()));
    wire::Packet p;
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.kind, 2u);
    EXPECT_EQ(p.seq, 701u);
    ASSERT_TRUE(c.replyTo(cb, 0, wire::Bytes().i32(100)));
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.seq, 700u);
    EXPECT_EQ(p.code, wire::kOk);
    EXPECT_EQ(p.data, wire::Bytes().i32(101).b);
    // a callback that answers an error passes the error on
    ASSERT_TRUE(c.transaction(702, 2, wire::Bytes().binder(6)));
    ASSERT_TRUE(c.next(cb));
    ASSERT_TRUE(c.replyTo(cb, wire::kPermissionDenied));
    ASSERT_TRUE(c.next(p));
    EXPECT_EQ(p.seq, 702u);
    EXPECT_EQ(p.code, wire::kPermissionDenied);
}

TEST_F(HostBinder, ObjectsOfAClosedConnectionAreDead) {
    serve();
    {
        wire::Client a;
        ASSERT_TRUE(a.open(socketOf("test.service")));
        ASSERT_EQ(a.call(3, wire::Bytes().binder(8)), wire::kOk);
    }  // closed: the service's proxy of object 8 is dead
    wire::Client b;
    ASSERT_TRUE(b.open(socketOf("test.service")));
    EXPECT_TRUE(riltest::waitUntil([&] { return b.call(4, wire::Bytes()) == wire::kDeadObject; }, 10s));
}

TEST_F(HostBinder, NamesAreFilesAndAStaleSocketIsReplaced) {
    // a socket file left by an ended process
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    struct sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    snprintf(a.sun_path, sizeof(a.sun_path), "%s", socketOf("test.service").c_str());
    ASSERT_EQ(bind(fd, (struct sockaddr *)&a, sizeof(a)), 0);
    close(fd);
    serve();
    wire::Client c;
    ASSERT_TRUE(c.open(socketOf("test.service")));
    EXPECT_EQ(c.call(wire::kPing, wire::Bytes()), wire::kOk);
    // a name that answers is taken
    EXPECT_EQ(defaultServiceManager()->addService(String16("test.service"), new TestService()), ALREADY_EXISTS);
    for (const char *bad : {"", ".", "..", "a/b", "../up", "sp ace", "tab\t"})
        EXPECT_EQ(defaultServiceManager()->addService(String16(bad), new TestService()), BAD_VALUE) << bad;
    EXPECT_EQ(defaultServiceManager()->checkService(String16("no.such")), nullptr);
}

// the layer's own client against a service in a child process
TEST_F(HostBinder, ClientCallsAServiceInAnotherProcess) {
    // fork before this process has threads; the child serves until killed
    pid_t child = fork();
    if (child == 0) {
        sp<TestService> s = new TestService();
        if (defaultServiceManager()->addService(String16("child.service"), s) != NO_ERROR) _exit(3);
        IPCThreadState::self()->joinThreadPool();
        _exit(0);
    }
    ASSERT_GT(child, 0);
    sp<IBinder> b;
    ASSERT_TRUE(riltest::waitUntil(
        [&] { return (b = defaultServiceManager()->checkService(String16("child.service"))) != nullptr; }, 20s));
    EXPECT_EQ(b->pingBinder(), NO_ERROR);
    EXPECT_TRUE(b->getInterfaceDescriptor() == String16("test.service"));
    EXPECT_EQ(b->localBinder(), nullptr);

    Parcel data, reply;
    data.writeInt32(9);
    data.writeString8(String8("AT+CSQ"));
    data.writeString16(String16("x"));
    ASSERT_EQ(b->transact(1, data, &reply), NO_ERROR);
    EXPECT_EQ(reply.readInt32(), 9);
    EXPECT_TRUE(reply.readString8() == String8("AT+CSQ"));
    EXPECT_TRUE(reply.readString16() == String16("x"));
    EXPECT_EQ(reply.readInt32(), (int32_t)geteuid());
    EXPECT_EQ(reply.readInt32(), (int32_t)getpid());
    EXPECT_EQ(reply.readInt32(), 0) << "past the end reads 0";

    // our callback object is served by this thread while it waits
    class Adder : public BBinder {
    protected:
        status_t onTransact(uint32_t code, const Parcel &d, Parcel *r, uint32_t f) override {
            if (code != 7) return BBinder::onTransact(code, d, r, f);
            r->writeInt32(d.readInt32() * 2);
            return NO_ERROR;
        }
    };
    Parcel d2, r2;
    d2.writeStrongBinder(new Adder());
    ASSERT_EQ(b->transact(2, d2, &r2), NO_ERROR);
    EXPECT_EQ(r2.readInt32(), 85);

    kill(child, SIGKILL);
    int st;
    waitpid(child, &st, 0);
    Parcel d3, r3;
    EXPECT_EQ(b->transact(1, d3, &r3), DEAD_OBJECT);
    EXPECT_FALSE(b->isBinderAlive());
}

TEST(HostParcel, LayoutAndBoundedReads) {
    Parcel p;
    p.writeInt32(-2);
    p.writeString8(String8("abc"));
    p.writeString16(String16("ab"));
    p.writeInterfaceToken(String16("nrt.callback"));
    p.writeString8(nullptr, 0);
    p.writeStrongBinder(nullptr);
    std::vector<uint8_t> want =
        wire::Bytes().i32(-2).str8("abc").str16("ab").token("nrt.callback").i32(-1).nullBinder().b;
    ASSERT_EQ(std::vector<uint8_t>(p.data(), p.data() + p.dataSize()), want);
    p.setDataPosition(0);
    EXPECT_EQ(p.readInt32(), -2);
    EXPECT_TRUE(p.readString8() == String8("abc"));
    EXPECT_TRUE(p.readString16() == String16("ab"));
    EXPECT_TRUE(p.enforceInterface(String16("nrt.callback")));
    String8 null8("x");
    EXPECT_EQ(p.readString8(&null8), NO_ERROR);
    EXPECT_EQ(null8.length(), 0u) << "a null String8 reads as empty";
    sp<IBinder> b;
    EXPECT_EQ(p.readStrongBinder(&b), NO_ERROR);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(p.dataAvail(), 0u);
    int32_t v = 7;
    EXPECT_EQ(p.readInt32(&v), NOT_ENOUGH_DATA);
    EXPECT_EQ(v, 0);
    // a String8 with an embedded NUL keeps its length
    Parcel q;
    q.writeString8("a\0b", 3);
    q.setDataPosition(0);
    EXPECT_EQ(q.readString8().length(), 3u);
    // a wrong interface token
    Parcel t;
    t.writeInterfaceToken(String16("other"));
    t.setDataPosition(0);
    EXPECT_FALSE(t.enforceInterface(String16("nrt.callback")));
    // UTF-8 text round trip through UTF-16, malformed bytes replaced
    EXPECT_TRUE(String8(String16("h\xc3\xa9\xf0\x9f\x93\xb6")) == String8("h\xc3\xa9\xf0\x9f\x93\xb6"));
    EXPECT_TRUE(String8(String16("a\xff" "b")) == String8("a\xef\xbf\xbd" "b"));
}

}  // namespace

namespace {

TEST_F(HostBinder, OneCallerCannotTakeEveryConnection) {
    serve();
    std::vector<std::unique_ptr<wire::Client>> held;
    for (int i = 0; i < 16; i++) {
        held.push_back(std::make_unique<wire::Client>());
        ASSERT_TRUE(held.back()->open(socketOf("test.service")));
        ASSERT_EQ(held.back()->call(wire::kPing, wire::Bytes()), wire::kOk) << i;
    }
    wire::Client extra;
    ASSERT_TRUE(extra.open(socketOf("test.service")));
    EXPECT_EQ(extra.call(wire::kPing, wire::Bytes()), INT32_MIN) << "the 17th connection of one uid is not served";
    wire::Packet p;
    EXPECT_FALSE(extra.next(p, 10s));
    EXPECT_TRUE(extra.eof) << "it is closed at once";
    // one goes away: a new one is served again
    held.pop_back();
    EXPECT_TRUE(riltest::waitUntil(
        [&] {
            wire::Client c;
            return c.open(socketOf("test.service")) && c.call(wire::kPing, wire::Bytes()) == wire::kOk;
        },
        10s));
}

}  // namespace
