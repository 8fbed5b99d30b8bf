// killapp and sleepappexit on real processes, gethandle and writecommand on
// a real pseudo-terminal. The process listing goes through the platform's
// "ps NAME"; a stand-in with the platform's output format sits first on PATH.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ril_log.h"
#include "daemon_harness.h"
#include "temp_root.h"
#include "usb_discovery.h"

extern "C" int get_pid(const char *name);  // the dialer's process lookup

namespace {

// A child process with a name of its own (the link's name becomes the
// process name), reaped by a thread so that it vanishes once it ends.
class Child {
public:
    Child(const std::string &bindir, const std::string &name, const char *seconds, bool reap = true) {
        std::string exe = bindir + "/" + name;
        symlink("/bin/sleep", exe.c_str());
        pid = fork();
        if (pid == 0) {
            execl(exe.c_str(), name.c_str(), seconds, (char *)nullptr);
            _exit(127);
        }
        if (reap) reaper = std::thread([this] { waitpid(pid, &status, 0); done = true; });
    }
    ~Child() {
        if (!done) kill(pid, SIGKILL);
        if (reaper.joinable())
            reaper.join();
        else
            waitpid(pid, &status, 0);
    }
    void join() { if (reaper.joinable()) reaper.join(); }
    pid_t pid = -1;
    int status = 0;
    std::atomic<bool> done{false};
    std::thread reaper;
};

class ProcessHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        bindir = root.at("/bin");
        riltest::makeDirs(bindir);
        // "ps NAME" lists the processes of that name: a header line, then
        // "USER PID PPID VSIZE RSS WCHAN PC STATE NAME" per process
        root.writeFile("/bin/ps",
                       "#!/bin/sh\n"
                       "echo 'USER     PID   PPID  VSIZE  RSS     WCHAN    PC         NAME'\n"
                       "for p in $(pgrep -x \"$1\"); do\n"
                       "  grep -q '^State:.*Z' /proc/$p/status 2>/dev/null && continue\n"
                       "  echo \"root      $p  1     1000   100   ffffffff 00000000 S $1\"\n"
                       "done\n");
        chmod(root.at("/bin/ps").c_str(), 0755);
        // the library runs programs from the sysroot's system folder only
        riltest::makeDirs(root.at("/sysroot/system/bin"));
        symlink(root.at("/bin/ps").c_str(), root.at("/sysroot/system/bin/ps").c_str());
        setenv("PATH", (bindir + ":" + getenv("PATH")).c_str(), 1);
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        name = "rsl" + std::to_string(getpid());
    }
    riltest::TempRoot root;
    std::string bindir;
    std::string name;
};

TEST_F(ProcessHelpers, KillappKillsARunningProcess) {
    setenv("RIL_TIME_SCALE", "10", 1);
    Child child(bindir, name, "30");
    EXPECT_EQ(1, killapp(child.pid));
    child.join();
    ASSERT_TRUE(WIFSIGNALED(child.status));
    EXPECT_EQ(SIGKILL, WTERMSIG(child.status));
}

// A process that does not go (here a zombie nobody reaps) is probed 5 times.
TEST_F(ProcessHelpers, KillappGivesUpAfterFiveProbes) {
    setenv("RIL_TIME_SCALE", "50", 1);
    Child child(bindir, name, "30", /*reap=*/false);
    unsigned int t0 = GetTickCount();
    EXPECT_EQ(1, killapp(child.pid));
    unsigned int took = GetTickCount() - t0;
    EXPECT_GE(took, 5000u);
    EXPECT_LT(took, 6000u + 50000u);
}

// 0 would be our own process group: nothing is signalled.
TEST_F(ProcessHelpers, KillappOfZeroSignalsNothing) {
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        _exit(killapp(0) == 1 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(ProcessHelpers, SleepappexitWithoutTheProcessReturnsAtOnce) {
    auto t0 = std::chrono::steady_clock::now();
    int waited = sleepappexit(name.c_str(), 2000);
    EXPECT_GE(waited, 0);
    EXPECT_LT(waited, 1000);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
}

TEST_F(ProcessHelpers, SleepappexitWaitsForTheProcessToEnd) {
    Child child(bindir, name, "0.3");
    ASSERT_TRUE(riltest::waitUntil([&] { return get_pid(name.c_str()) != 0; }, std::chrono::seconds(5)));
    int waited = sleepappexit(name.c_str(), 10000);
    EXPECT_GE(waited, 100);
    EXPECT_LT(waited, 10000);
    child.join();
    ASSERT_TRUE(WIFEXITED(child.status));
}

TEST_F(ProcessHelpers, SleepappexitKillsTheProcessAtTheLimit) {
    setenv("RIL_TIME_SCALE", "10", 1);
    Child child(bindir, name, "30");
    EXPECT_EQ(1, sleepappexit(name.c_str(), 2000));
    child.join();
    ASSERT_TRUE(WIFSIGNALED(child.status));
    EXPECT_EQ(SIGKILL, WTERMSIG(child.status));
}

// The name goes to the shell only when it is a plain process name.
TEST_F(ProcessHelpers, ProcessNameIsNotAShellCommand) {
    ASSERT_EQ(0, chdir(root.path().c_str()));
    EXPECT_LT(sleepappexit("a;touch pwned", 1000), 1000);
    EXPECT_FALSE(riltest::fileExists(root.at("/pwned")));
}

TEST(PortHelpers, GethandleSetsTheATPortLineAndWritecommandWrites) {
    riltest::TempRoot root;
    setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
    setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
    int master, slave;
    ASSERT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
    riltest::makeDirs(root.at("/sysroot/dev"));
    ASSERT_EQ(0, symlink(ptsname(master), root.at("/sysroot/dev/ttyUSB2").c_str()));

    int fd = gethandle("/dev/ttyUSB2");
    ASSERT_GE(fd, 0);
    struct termios t;
    ASSERT_EQ(0, tcgetattr(fd, &t));
    EXPECT_EQ((speed_t)B115200, cfgetospeed(&t));
    EXPECT_EQ((tcflag_t)CS8, t.c_cflag & CSIZE);
    EXPECT_NE(0u, t.c_cflag & CREAD);
    EXPECT_NE(0u, t.c_cflag & CLOCAL);
    EXPECT_EQ(0u, t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_EQ(0u, t.c_lflag & (ECHO | ICANON | ISIG));

    EXPECT_EQ(7, writecommand(fd, "AT+CSQ\r"));
    std::string got;
    ASSERT_TRUE(riltest::waitUntil(
        [&] {
            struct pollfd p = {master, POLLIN, 0};
            if (poll(&p, 1, 0) > 0) {
                char buf[64];
                ssize_t n = read(master, buf, sizeof(buf));
                if (n > 0) got.append(buf, (size_t)n);
            }
            return got.size() >= 7;
        },
        std::chrono::seconds(5)));
    EXPECT_EQ("AT+CSQ\r", got);
    close(fd);
    close(slave);
    close(master);

    EXPECT_LT(gethandle("/dev/ttyUSB7"), 0);
    EXPECT_EQ(-1, writecommand(-1, "AT\r"));
}

}  // namespace
