// Debug logging switch and cut, the scaled clock, and the host stand-ins
// for properties and paths.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>
#include <string>
#include <thread>
#include <signal.h>
#include <pthread.h>
#include <unistd.h>

#include "ril_log.h"
#include "temp_root.h"

namespace {

// Log lines of the RIL_LOG file, message part only ("TAG: message").
std::vector<std::string> messages(const std::string &path) {
    std::vector<std::string> out;
    std::string text = riltest::readFile(path);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        // "MM-DD HH:MM:SS.mmm  PID  TID P TAG: message"
        std::istringstream is(line);
        std::string date, time, prio;
        long pid = 0, tid = 0;
        is >> date >> time >> pid >> tid >> prio;
        std::streamoff at = is.tellg();
        out.push_back(at < 0 ? line : prio + line.substr((size_t)at));
        pos = end + 1;
    }
    return out;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath = root.at("/ril.log");
        setenv("RIL_LOG", logPath.c_str(), 1);
    }
    riltest::TempRoot root;
    std::string logPath;
};

TEST_F(LogTest, LinesAreLogcatShapedWithPriorityAndTag) {
    RILDEBUG("hello %d", 42);
    RIL_LOGE("failure %s", "x");
    auto m = messages(logPath);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0], "D AT: hello 42");
    EXPECT_EQ(m[1], "E RIL: failure x");
    std::string text = riltest::readFile(logPath);
    // MM-DD HH:MM:SS.mmm
    EXPECT_TRUE(isdigit(text[0]) && text[2] == '-' && text[5] == ' ' && text[8] == ':' && text[14] == '.') << text;
}

TEST_F(LogTest, LongMessageIsCutAt4095Characters) {
    std::string longText(5000, 'x');
    RILDEBUG("%s", longText.c_str());
    auto m = messages(logPath);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0], "D AT: " + std::string(4095, 'x'));
}

TEST_F(LogTest, DumpHonoursLengthAndSwitch) {
    AT_DUMP("<< ", "ATE0", 3);
    AT_DUMP("<< ", "AT+CSQ", -1);
    g_debugmode = 0;
    AT_DUMP("<< ", "ATE0", -1);
    RILDEBUG("silent");
    RIL_LOGD("always");
    g_debugmode = 1;
    auto m = messages(logPath);
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0], "D AT: ATE");
    EXPECT_EQ(m[1], "D AT: AT+CSQ");
    EXPECT_EQ(m[2], "D RIL: always");
}

TEST(Clock, TickCountAndSleepFollowTheTimeScale) {
    setenv("RIL_TIME_SCALE", "20", 1);
    struct timespec a, b;
    clock_gettime(CLOCK_MONOTONIC, &a);
    unsigned int t0 = GetTickCount();
    sleepMsec(2000);  // 100 ms of real time
    unsigned int ticks = GetTickCount() - t0;
    clock_gettime(CLOCK_MONOTONIC, &b);
    double realMs = (b.tv_sec - a.tv_sec) * 1000.0 + (b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_GE(realMs, 95.0);
    EXPECT_LT(realMs, 1000.0);
    EXPECT_GE(ticks, 1900u);
    EXPECT_LT(ticks, 20000u);
}

TEST(Clock, SleepResumesAfterASignal) {
    setenv("RIL_TIME_SCALE", "1", 1);
    signal(SIGUSR1, [](int) {});
    pthread_t self = pthread_self();
    std::thread interrupter([self] {
        usleep(50 * 1000);
        pthread_kill(self, SIGUSR1);
    });
    struct timespec a, b;
    clock_gettime(CLOCK_MONOTONIC, &a);
    sleepMsec(250);
    clock_gettime(CLOCK_MONOTONIC, &b);
    interrupter.join();
    double realMs = (b.tv_sec - a.tv_sec) * 1000.0 + (b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_GE(realMs, 245.0);
}

TEST(Properties, StoreIsOneFilePerPropertyWithThePlatformLimits) {
    riltest::TempRoot root;
    setenv("RIL_PROPERTY_DIR", root.path().c_str(), 1);
    char value[PROPERTY_VALUE_MAX];
    EXPECT_EQ(property_get("ril.debug", value, "1"), 1);
    EXPECT_STREQ(value, "1");
    EXPECT_EQ(property_set("ril.pcui", "/dev/ttyUSB2"), 0);
    EXPECT_EQ(riltest::readFile(root.at("/ril.pcui")), "/dev/ttyUSB2");
    EXPECT_EQ(property_get("ril.pcui", value, "x"), 12);
    EXPECT_STREQ(value, "/dev/ttyUSB2");
    EXPECT_EQ(property_set("long", std::string(91, 'a').c_str()), 0);
    EXPECT_EQ(property_set("long", std::string(92, 'a').c_str()), -1);
    EXPECT_EQ(property_get("long", value, ""), 91);
    // a file written by someone else with more bytes is cut to the limit
    root.writeFile("/big", std::string(200, 'b'));
    EXPECT_EQ(property_get("big", value, ""), 91);
    EXPECT_EQ(property_set("../escape", "x"), -1);
    EXPECT_EQ(property_set("", "x"), -1);
}

TEST(Paths, SysrootPrefixesAbsolutePathsOnly) {
    setenv("RIL_SYSROOT", "/tmp/root", 1);
    char buf[64];
    EXPECT_STREQ(RIL_SYSPATH("/dev/ttyUSB2", buf), "/tmp/root/dev/ttyUSB2");
    EXPECT_STREQ(RIL_SYSPATH("ttyUSB0", buf), "ttyUSB0");
    char tiny[12];
    EXPECT_EQ(RIL_SYSPATH("/dev/ttyUSB2", tiny), nullptr);
}

}  // namespace
