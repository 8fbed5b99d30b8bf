// The silent link with real traffic: the test takes its process into a
// private network namespace (and mount namespace) of its own, where a tun
// device named ppp0 is the link and the test's own thread is the far end.
// Nothing routes off the machine: the namespace holds only loopback and
// the tun, whose other side is this test. The pppd stand-in mirrors the
// kernel's counters of that tun into the sysroot, and the ping stand-in
// and the library's probes send real packets. Needs root (CLONE_NEWNET,
// /dev/net/tun); skipped with the reason where the machine refuses.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdio.h>

#include <atomic>
#include <string>
#include <thread>

#include "guard_rig.h"

using riltest::GuardRig;
using namespace std::chrono_literals;

namespace {

constexpr long kScale = 20;
const char kLocal[] = "10.64.78.9";
const char kPeer[] = "10.64.64.64";

unsigned short sum16(const unsigned char *p, size_t n) {
    unsigned long sum = 0;
    for (size_t i = 0; i + 1 < n; i += 2) sum += (unsigned)(p[i] << 8 | p[i + 1]);
    if (n & 1) sum += (unsigned)(p[n - 1] << 8);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return (unsigned short)~sum;
}

// the far end of the tun: answers ICMP echo requests while answering is on
struct FarEnd {
    int fd = -1;
    std::atomic<bool> answer{true}, stop{false};
    std::atomic<int> echoes{0};
    std::atomic<long> loops{0};  // passes of the far end's loop
    std::thread th;
    void run() {
        th = std::thread([this] {
            unsigned char b[2048];
            while (!stop) {
                loops++;
                struct pollfd p = {fd, POLLIN, 0};
                if (poll(&p, 1, 50) <= 0) continue;
                ssize_t n = read(fd, b, sizeof b);
                if (n < 20 || (b[0] >> 4) != 4) continue;
                size_t ihl = (size_t)(b[0] & 0x0f) * 4;
                if (b[9] != IPPROTO_ICMP || (size_t)n < ihl + 8 || b[ihl] != 8) continue;
                echoes++;
                if (!answer) continue;
                unsigned char a[4];
                memcpy(a, b + 12, 4);
                memcpy(b + 12, b + 16, 4);
                memcpy(b + 16, a, 4);
                b[ihl] = 0;  // echo reply
                b[ihl + 2] = b[ihl + 3] = 0;
                unsigned short c = htons(sum16(b + ihl, (size_t)n - ihl));
                memcpy(b + ihl + 2, &c, 2);
                b[10] = b[11] = 0;
                c = htons(sum16(b, ihl));
                memcpy(b + 10, &c, 2);
                ssize_t w = write(fd, b, (size_t)n);
                (void)w;
            }
        });
    }
    ~FarEnd() {
        stop = true;
        if (th.joinable()) th.join();
        if (fd >= 0) close(fd);
    }
};

bool setAddr(int s, const char *ifname, unsigned long req, const char *addr) {
    struct ifreq ifr;
    memset(&ifr, 0, sizeof(ifr));
    snprintf(ifr.ifr_name, sizeof(ifr.ifr_name), "%s", ifname);
    struct sockaddr_in *sin = reinterpret_cast<struct sockaddr_in *>(&ifr.ifr_addr);
    sin->sin_family = AF_INET;
    inet_pton(AF_INET, addr, &sin->sin_addr);
    return ioctl(s, req, &ifr) == 0;
}

bool up(int s, const char *ifname) {
    struct ifreq ifr;
    memset(&ifr, 0, sizeof(ifr));
    snprintf(ifr.ifr_name, sizeof(ifr.ifr_name), "%s", ifname);
    if (ioctl(s, SIOCGIFFLAGS, &ifr) != 0) return false;
    ifr.ifr_flags |= IFF_UP | IFF_RUNNING;
    return ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
}

long kernelCounter(const std::string &dir, const char *name) {
    return atol(riltest::readFile(dir + "/statistics/" + name).c_str());
}

TEST(PrivateNetns, ASilentTunLinkIsProbedWithRealPacketsAndDialledAgain) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace and a tun device";
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0)
        GTEST_SKIP() << "the machine refuses a private network namespace: " << strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "cannot make the mounts private: " << strerror(errno);
    FarEnd far;
    far.fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (far.fd < 0) GTEST_SKIP() << "no tun device: " << strerror(errno);
    struct ifreq ifr;
    memset(&ifr, 0, sizeof(ifr));
    ifr.ifr_flags = IFF_TUN | IFF_NO_PI;
    snprintf(ifr.ifr_name, sizeof(ifr.ifr_name), "ppp0");
    if (ioctl(far.fd, TUNSETIFF, &ifr) != 0) GTEST_SKIP() << "cannot make the tun ppp0: " << strerror(errno);
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(s, 0);
    ASSERT_TRUE(up(s, "lo"));
    ASSERT_TRUE(setAddr(s, "ppp0", SIOCSIFADDR, kLocal));
    ASSERT_TRUE(setAddr(s, "ppp0", SIOCSIFDSTADDR, kPeer));
    ASSERT_TRUE(up(s, "ppp0"));
    close(s);
    far.run();

    // the namespace's own sysfs shows the tun's kernel counters
    riltest::TempRoot sys;
    std::string netsys = sys.at("/sys");
    riltest::makeDirs(netsys);
    ASSERT_EQ(mount("sysfs", netsys.c_str(), "sysfs", 0, nullptr), 0) << strerror(errno);
    std::string tun = netsys + "/class/net/ppp0";
    ASSERT_TRUE(riltest::fileExists(tun + "/statistics/rx_packets"));

    std::string conf = std::string("local=") + kLocal + "\ngw=" + kPeer + "\ndns1=" + kPeer + "\ndns2=" + kPeer +
                       "\ncounters_from=" + tun + "\n";
    {
        GuardRig rig("wcdma6290", kScale, {}, conf, {{"RIL_PRIVATE_NETNS", "1"}});
        ASSERT_TRUE(rig.ready());
        ASSERT_EQ(rig.response(rig.d.request(rig.setupLine())).value("error", -1), 0);
        ASSERT_TRUE(riltest::waitUntil([&] { return rig.pppd().size() == 1; }, 10s));
        // the far end answers: the checker's real pings bring packets back
        // and it does not re-dial
        ASSERT_TRUE(rig.logged("dns result is:1", 30s)) << "echoes seen " << far.echoes;
        EXPECT_GT(far.echoes.load(), 0);
        EXPECT_GT(kernelCounter(tun, "rx_packets"), 0);
        EXPECT_EQ(rig.dials(), 1);
        EXPECT_EQ(rig.logCount("ResumeSem: WCheckDataStatus"), 0u);

        // silence: the echoes go out (tx moves) and nothing comes back
        // an earlier check may have switched the DNS server (a late echo):
        // the silence is probed on the link's own server first
        {
            std::string tmp = rig.d.propertyDir() + "/.net.dns1.tmp";
            FILE *f = fopen(tmp.c_str(), "w");
            ASSERT_NE(f, nullptr);
            fputs(kPeer, f);
            fclose(f);
            ASSERT_EQ(rename(tmp.c_str(), (rig.d.propertyDir() + "/net.dns1").c_str()), 0);
        }
        far.answer = false;
        // a reply the far end was writing is counted before the baseline
        long pass = far.loops;
        ASSERT_TRUE(riltest::waitUntil([&] { return far.loops >= pass + 2; }, 5s));
        size_t mark = rig.d.logText().size();
        long rx = kernelCounter(tun, "rx_packets");
        long tx = kernelCounter(tun, "tx_packets");
        ASSERT_TRUE(rig.logged(" check pppd exist", 40s));
        EXPECT_GT(kernelCounter(tun, "tx_packets"), tx) << rig.logFrom(mark);
        EXPECT_EQ(kernelCounter(tun, "rx_packets"), rx);
        far.answer = true;
        ASSERT_TRUE(riltest::waitUntil(
            [&] { return rig.pppdStarts() >= 2 && rig.pppd().size() == 1 && rig.d.property("net.ppp0.local-ip") == kLocal; },
            30s));
        EXPECT_EQ(rig.dials(), 2);
    }
    umount2(netsys.c_str(), MNT_DETACH);
}

}  // namespace
