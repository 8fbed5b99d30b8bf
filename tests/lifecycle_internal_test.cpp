// Pieces of the main loops that discovery cannot reach from outside.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "ril_families.h"
#include "temp_root.h"
#include "usb_discovery.h"

namespace {

struct PortCase {
    const char *path;
    bool opened;
};
void PrintTo(const PortCase &c, std::ostream *os) { *os << c.path; }

class AtPortOpen : public ::testing::TestWithParam<PortCase> {};

TEST_P(AtPortOpen, OnlyPathsLongerThanTenCharactersAreOpened) {
    riltest::TempRoot root;
    setenv("RIL_SYSROOT", root.path().c_str(), 1);
    // every candidate exists, as a regular file under the sysroot
    root.writeFile(GetParam().path, "");
    snprintf(g_pcuidevice_path, sizeof(g_pcuidevice_path), "%s", GetParam().path);
    int fd = ril_open_at_port();
    EXPECT_EQ(fd >= 0, GetParam().opened);
    if (fd >= 0) close(fd);
}

INSTANTIATE_TEST_SUITE_P(Paths, AtPortOpen,
                         ::testing::Values(PortCase{"/dev/ttyS1", false}, PortCase{"/dev/ttyS12", true},
                                           PortCase{"/dev/tty0", false}, PortCase{"/dev/ttyUSB2", true}));

TEST(SerialLine, SettingsMatchTheModulesPort) {
    // a real terminal: the slave side of a pseudo-terminal
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    int fd = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ril_set_serial_line(fd, 1), 0);
    struct termios ios;
    ASSERT_EQ(tcgetattr(fd, &ios), 0);
    EXPECT_EQ(ios.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(cfgetospeed(&ios), (speed_t)B115200);
    EXPECT_EQ(ios.c_cflag & CSIZE, (tcflag_t)CS8);
    EXPECT_EQ(ios.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(ios.c_cflag & CREAD, 0u);
    EXPECT_NE(ios.c_cflag & CLOCAL, 0u);
    close(fd);
    close(master);
}

}  // namespace
