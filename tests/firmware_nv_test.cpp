// The NV download of the legacy library, loaded as the deliverable it is:
// the item table, the frames against crcmod, the fixed buffer, a whole run
// against the simulated module's diagnostic port. The current library does
// not carry it.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <memory>

#include "firmware_support.h"
#include "simulated_module.h"

using namespace std::chrono_literals;
using fwtest::python;

namespace {

struct Legacy {
    void *h = nullptr;
    int (*DownNV)(const char *) = nullptr;
    int (*GetNVItem)(int) = nullptr;
    int (*SendTcp)(const unsigned char *, int) = nullptr;
    int (*ComputeTxCRC)(const unsigned char *, int) = nullptr;
    int (*openport_path)(const char *) = nullptr;
    void (*closeport)(void) = nullptr;
    unsigned char *m_pTxBuf = nullptr;
    int *m_nTxLen = nullptr;
    const unsigned short *crc_table = nullptr;
    const unsigned short *crctab16 = nullptr;

    Legacy() {
        h = dlopen(RIL_BUILD_DIR "/lib/lib-ril-kivo.so", RTLD_NOW | RTLD_LOCAL);
        if (h == nullptr) return;
        DownNV = reinterpret_cast<int (*)(const char *)>(dlsym(h, "DownNV"));
        GetNVItem = reinterpret_cast<int (*)(int)>(dlsym(h, "GetNVItem"));
        SendTcp = reinterpret_cast<int (*)(const unsigned char *, int)>(dlsym(h, "SendTcp"));
        ComputeTxCRC = reinterpret_cast<int (*)(const unsigned char *, int)>(dlsym(h, "ComputeTxCRC"));
        openport_path = reinterpret_cast<int (*)(const char *)>(dlsym(h, "openport_path"));
        closeport = reinterpret_cast<void (*)(void)>(dlsym(h, "closeport"));
        m_pTxBuf = static_cast<unsigned char *>(dlsym(h, "m_pTxBuf"));
        m_nTxLen = static_cast<int *>(dlsym(h, "m_nTxLen"));
        crc_table = static_cast<const unsigned short *>(dlsym(h, "crc_table"));
        crctab16 = static_cast<const unsigned short *>(dlsym(h, "crctab16"));
    }
    bool complete() const {
        return DownNV && GetNVItem && SendTcp && ComputeTxCRC && openport_path && closeport && m_pTxBuf &&
               m_nTxLen && crc_table && crctab16;
    }
    std::string tx() const { return std::string(reinterpret_cast<const char *>(m_pTxBuf), *m_nTxLen); }
};

class NvTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        unsetenv("RIL_SYSROOT");
        ASSERT_TRUE(lib.complete()) << dlerror();
    }
    void TearDown() override {
        if (lib.closeport) lib.closeport();
    }
    riltest::TempRoot root;
    Legacy lib;
};

// the NV-write request of an item: command 39, item little-endian, value, status 0
std::string request(int item, const std::string &value) {
    std::string r(1, '\x27');
    r += static_cast<char>(item & 0xFF);
    r += static_cast<char>(item >> 8);
    r += value;
    r += std::string(2, '\0');
    return r;
}

std::string oracleFrame(const std::string &body) {
    bool ok = false;
    std::string out = python("print(hx(frame(binascii.unhexlify('" + fwtest::hexOf(body) + "'), False)))\n", &ok);
    return ok ? fwtest::bytesOfHex(fwtest::trim(out)) : "";
}

TEST_F(NvTest, ItemTable) {
    const int items[16] = {2537, 2538, 2539, 2540, 2541, 2542, 2543, 2544,
                           2569, 2570, 2571, 2572, 2573, 2574, 2575, 2576};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(lib.GetNVItem(i), items[i]) << i;
    EXPECT_EQ(lib.GetNVItem(8), 2569);
    for (int bad : {16, 17, -1, -16, INT_MIN, INT_MAX}) EXPECT_EQ(lib.GetNVItem(bad), -1) << bad;
    for (int i = 0; i < 256; ++i) EXPECT_EQ(lib.crc_table[i], lib.crctab16[i]) << i;
}

TEST_F(NvTest, FramesAgreeWithTheOracle) {
    unsigned seed = 3;
    std::vector<std::string> bodies = {request(2537, std::string(128, '\0')), std::string(1, '\x7e'),
                                       std::string("\x7d\x7e\x7d", 3), ""};
    std::string random;
    for (int i = 0; i < 128; ++i) random += static_cast<char>(rand_r(&seed) & 0xFF);
    bodies.push_back(request(2576, random));
    for (const std::string &b : bodies) {
        ASSERT_EQ(lib.ComputeTxCRC(reinterpret_cast<const unsigned char *>(b.data()), static_cast<int>(b.size())), 0);
        EXPECT_EQ(fwtest::hexOf(lib.tx()), fwtest::hexOf(oracleFrame(b))) << fwtest::hexOf(b);
    }
}

TEST_F(NvTest, CrcLowByte7EIsEscaped) {
    // the oracle finds a request whose CRC's low byte is 0x7E
    bool ok = false;
    std::string out = python("for v in range(65536):\n"
                             "    b = bytes([0x27, 0xe9, 0x09]) + v.to_bytes(2, 'little') + bytes(126) + bytes(2)\n"
                             "    if x25(b) & 0xff == 0x7e:\n"
                             "        print(hx(b)); print(hx(frame(b, False))); break\n",
                             &ok);
    ASSERT_TRUE(ok) << out;
    size_t nl = out.find('\n');
    std::string body = fwtest::bytesOfHex(out.substr(0, nl));
    std::string want = fwtest::bytesOfHex(fwtest::trim(out.substr(nl + 1)));
    ASSERT_EQ(body.size(), 133u);
    ASSERT_EQ(lib.ComputeTxCRC(reinterpret_cast<const unsigned char *>(body.data()), 133), 0);
    std::string tx = lib.tx();
    EXPECT_EQ(fwtest::hexOf(tx), fwtest::hexOf(want));
    // ... 0x7D 0x5E <high byte, maybe escaped> 0x7E
    EXPECT_NE(fwtest::hexOf(tx.substr(tx.size() - 5)).find("7d5e"), std::string::npos) << fwtest::hexOf(tx);
}

TEST_F(NvTest, LengthsPastTheBufferAreRefusedAndNothingIsWritten) {
    fwtest::RawPeer peer;
    ASSERT_EQ(lib.openport_path(peer.slave().c_str()), 0);
    std::vector<unsigned char> flags(12000, 0x7E);
    std::vector<unsigned char> plain(12000, 0x00);
    struct Case {
        const unsigned char *data;
        int len;
        int want;
    } cases[] = {
        {flags.data(), 6000, -1},   // 12000 escaped bytes and the CRC
        {flags.data(), 5996, 0},    // 11992 + at most 4 + 1
        {plain.data(), 12000, -1},  {plain.data(), 11997, -1 /* set below */},
        {plain.data(), -1, -1},     {nullptr, 10, -1},
    };
    // 11997 plain bytes fit when neither CRC byte needs escaping
    bool ok = false;
    std::string crc = python("c = x25(bytes(11997))\nprint(int((c & 0xff) in (0x7d, 0x7e) or (c >> 8) in (0x7d, 0x7e)))\n",
                             &ok);
    ASSERT_TRUE(ok);
    cases[3].want = fwtest::trim(crc) == "1" ? -1 : 0;
    for (const Case &c : cases) {
        *lib.m_nTxLen = 77;
        EXPECT_EQ(lib.ComputeTxCRC(c.data, c.len), c.want) << c.len;
        if (c.want != 0) EXPECT_EQ(*lib.m_nTxLen, 0) << c.len;
        else EXPECT_LE(*lib.m_nTxLen, 12000) << c.len;
    }
    EXPECT_EQ(lib.SendTcp(flags.data(), 6000), -1);
    // a length past the buffer is refused before any byte is read
    EXPECT_EQ(lib.SendTcp(plain.data(), 100000), -1);
    EXPECT_EQ(lib.SendTcp(plain.data(), INT_MAX), -1);
    EXPECT_EQ(lib.SendTcp(plain.data(), 133), (int)oracleFrame(std::string(133, '\0')).size());
    ASSERT_TRUE(peer.waitBytes(1, 5s));
    EXPECT_EQ(peer.received(), oracleFrame(std::string(133, '\0')));
}

TEST_F(NvTest, FirstRequestOnTheWire) {
    fwtest::RawPeer peer;
    setenv("RIL_TIME_SCALE", "20", 1);
    ASSERT_EQ(lib.DownNV(peer.slave().c_str()), 0);
    unsetenv("RIL_TIME_SCALE");
    ASSERT_TRUE(peer.waitBytes(16 * 136, 10s));
    std::string wire = peer.received();
    EXPECT_EQ(fwtest::hexOf(wire.substr(0, 3)), "27e909");
    EXPECT_EQ(peer.framesSeen(), 16u);
    // the first frame: its own unescaped bytes, framed by the oracle
    std::string first = wire.substr(0, wire.find('\x7e') + 1), body;
    for (size_t i = 0; i + 1 < first.size(); ++i)
        body += first[i] == '\x7d' ? static_cast<char>(first[++i] ^ 0x20) : first[i];
    body.resize(body.size() - 2);
    EXPECT_EQ(body.size(), 133u);
    EXPECT_EQ(fwtest::hexOf(first), fwtest::hexOf(oracleFrame(body)));
}

TEST_F(NvTest, DownNvWritesSixteenItemsToTheSimulatedModule) {
    std::string sysroot = root.at("/sysroot");
    riltest::makeDirs(sysroot);
    setenv("RIL_SYSROOT", sysroot.c_str(), 1);
    modemsim::SimulatedModule module(modemsim::ModuleConfig::forModel("wcdma6290", sysroot));
    setenv("RIL_TIME_SCALE", "20", 1);
    ASSERT_EQ(lib.DownNV("/dev/ttyUSB1"), 0);
    unsetenv("RIL_TIME_SCALE");
    ASSERT_TRUE(module.bootloader().waitNvWrites(16, 10s));
    std::vector<modemsim::NvWrite> w = module.bootloader().nvWrites();
    ASSERT_EQ(w.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(w[i].item, lib.GetNVItem(i));
        EXPECT_EQ(w[i].value.size(), 128u);
    }
    auto values = [](const std::string &v, size_t n) {
        std::vector<int> out;
        for (size_t i = 0; i < n; ++i)
            out.push_back(static_cast<unsigned char>(v[2 * i]) | static_cast<unsigned char>(v[2 * i + 1]) << 8);
        return out;
    };
    EXPECT_EQ(values(w[0].value, 10), (std::vector<int>{2680, 2682, 2684, 2686, 2688, 2690, 2692, 2694, 2696, 2699}));
    EXPECT_EQ(values(w[1].value, 4), (std::vector<int>{2820, 2823, 2825, 2828}));
    unsetenv("RIL_SYSROOT");
}

TEST_F(NvTest, MissingPortFailsWithItsText) {
    setenv("RIL_TIME_SCALE", "1000", 1);
    EXPECT_EQ(lib.DownNV("/dev/ttyUSB9"), -1);
    unsetenv("RIL_TIME_SCALE");
    EXPECT_NE(riltest::readFile(root.at("/ril.log")).find("open ttyUSB/dev/ttyUSB9 failure!"), std::string::npos);
    std::string longPath(300, 'x');
    EXPECT_EQ(lib.DownNV(longPath.c_str()), -1);
}

TEST(NvDeliverables, OnlyTheLegacyLibraryCarriesTheNvDownload) {
    void *current = dlopen(RIL_BUILD_DIR "/lib/libreference-ril.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(current, nullptr) << dlerror();
    for (const char *name : {"DownNV", "wnv", "GetNVItem", "SendTcp", "ComputeTxCRC", "m_pTxBuf", "m_nTxLen",
                             "crc_table"})
        EXPECT_EQ(dlsym(current, name), nullptr) << name;
    for (const char *name : {"writehex", "writembnfile", "writehdfile", "crctab16", "fport", "convert_find", "memstr",
                             "Issendpass", "SendSyncCmd", "ATtest", "debug", "setdownloadmode", "setbegindown",
                             "openport", "openport_path", "set_opt", "closeport", "writecomm", "Write", "Read",
                             "crc_update"})
        EXPECT_NE(dlsym(current, name), nullptr) << name;
}

}  // namespace
