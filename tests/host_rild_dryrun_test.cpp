// host-rild --dry-run against the USB trees the simulated module publishes:
// the ports, family and model of each module as the discovery rules assign
// them, whether the user may use each port, and who holds it, with no port
// opened.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "daemon_harness.h"
#include "temp_root.h"
#include "usb_tree.h"

using nlohmann::json;

namespace {

struct DryRunResult {
    int status = -1;
    std::string out;
};

// Runs host-rild --dry-run with the sysroot; the output is read until the
// program ends, within a generous deadline.
DryRunResult runDryRun(riltest::TempRoot &root, bool asJson) {
    std::string sysroot = root.at("/sysroot");
    riltest::makeDirs(root.at("/properties"));
    int out[2];
    if (pipe(out) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        setenv("RIL_SYSROOT", sysroot.c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        std::string bin = riltest::buildPath("/bin/host-rild");
        std::string lib = riltest::currentLibrary();
        std::vector<const char *> argv = {bin.c_str(), "--dry-run", "--lib", lib.c_str()};
        if (asJson) argv.push_back("--json");
        argv.push_back(nullptr);
        const char *emulator = getenv("RIL_TEST_EMULATOR");
        if (emulator != nullptr && *emulator != '\0') {
            argv.insert(argv.begin(), emulator);
            execvp(emulator, (char *const *)argv.data());
        } else {
            execv(bin.c_str(), (char *const *)argv.data());
        }
        _exit(127);
    }
    close(out[1]);
    DryRunResult r;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char buf[4096];
    for (;;) {
        int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(
                       deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        struct pollfd p = {out[0], POLLIN, 0};
        if (poll(&p, 1, left) <= 0) continue;
        ssize_t n = read(out[0], buf, sizeof(buf));
        if (n <= 0) break;
        r.out.append(buf, (size_t)n);
    }
    close(out[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

struct Case {
    const char *model;
    int result;
    const char *family;
    int moduleType;
    const char *modem, *at, *diag;
};

// The assignments of the discovery rules for each published module.
const Case kCases[] = {
    // vendor-specific 00, 01, 02: modem, diagnostic, AT
    {"lte", 7, "LTE", 3, "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1"},
    {"wcdma6290", 7, "WCDMA", 1, "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1"},
    {"cdma", 7, "CDMA", 2, "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1"},
    // the two-port layout: modem on 02, AT on 03. The last port sets the
    // result to exactly 5 and the first adds bit 1: the value depends on the
    // order the directory lists them in (-1: bits 0 and 2 set)
    {"lte8909", -1, "LTE", 4, "/dev/ttyUSB0", "/dev/ttyUSB1", nullptr},
    // the ASR layout: diagnostic 02 (kept bare), AT 03, modem 04
    {"asr", -1, "LTE", 5, "/dev/ttyUSB2", "/dev/ttyUSB1", "/dev/ttyUSB0"},
};

TEST(DryRun, ListsThePortsFamilyAndModelOfEachModule) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.model);
        riltest::TempRoot root;
        modemsim::UsbTree tree(root.at("/sysroot"));
        tree.plug(modemsim::UsbTree::model(c.model));
        DryRunResult r = runDryRun(root, true);
        ASSERT_EQ(0, r.status) << r.out;
        json j = json::parse(r.out, nullptr, false);
        ASSERT_FALSE(j.is_discarded()) << r.out;
        EXPECT_EQ("discovery", j.value("type", ""));
        if (c.result >= 0) {
            EXPECT_EQ(c.result, j.value("result", -1));
        } else {
            EXPECT_EQ(5, j.value("result", 0) & 5);
        }
        EXPECT_EQ(c.family, j.value("family", ""));
        EXPECT_EQ(c.moduleType, j.value("model", -1));
        EXPECT_EQ(c.modem, j["ports"]["modem"].value("path", ""));
        EXPECT_EQ(c.at, j["ports"]["at"].value("path", ""));
        if (c.diag != nullptr) {
            EXPECT_EQ(c.diag, j["ports"]["diag"].value("path", ""));
        }
        // the tree alone has no device nodes: every port is reported missing
        for (auto &p : j["ports"]) EXPECT_FALSE(p.value("exists", true)) << p.dump();
    }
}

TEST(DryRun, NoModuleIsReportedAndEndsWithStatusOne) {
    riltest::TempRoot root;
    riltest::makeDirs(root.at("/sysroot/sys/bus/usb/drivers/option"));
    DryRunResult r = runDryRun(root, false);
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.out.find("no USB modem found")) << r.out;
}

TEST(DryRun, ReportsWhoHoldsAPortWithoutOpeningIt) {
    riltest::TempRoot root;
    modemsim::UsbTree tree(root.at("/sysroot"));
    tree.plug(modemsim::UsbTree::model("lte"));
    // the AT port is a plain file that this test holds open, as ModemManager
    // would hold a real port; the modem port exists and nobody holds it
    root.writeFile("/sysroot/dev/ttyUSB2", "");
    root.writeFile("/sysroot/dev/ttyUSB0", "");
    int fd = open(root.at("/sysroot/dev/ttyUSB2").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    DryRunResult r = runDryRun(root, false);
    close(fd);
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("family LTE, model 3 (LTE module), scan result 7")) << r.out;
    std::string held = "at    /dev/ttyUSB2: read/write ok, held by " + std::to_string(getpid()) + " ";
    EXPECT_NE(std::string::npos, r.out.find(held)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("modem /dev/ttyUSB0: read/write ok\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("diag  /dev/ttyUSB1: missing")) << r.out;
    // the log shows the scan and no port being opened
    std::string log = riltest::readFile(root.at("/ril.log"));
    EXPECT_NE(std::string::npos, log.find("In the HandleDeviceHotPlugin"));
    EXPECT_EQ(std::string::npos, log.find("AT> ")) << log;
}

}  // namespace
