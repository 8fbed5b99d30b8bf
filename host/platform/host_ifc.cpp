// Host stand-in for the interface-configuration library. An interface
// played by a host stand-in (the pppd stand-in's ppp0) is the folder
// $RIL_SYSROOT/sys/class/net/<if>/ with its address in the file
// ipv4_address; any other interface is asked through the real ioctls.
#include <netutils/ifc.h>
#include <ril_host.h>

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool nameOk(const char *name) {
    if (name == nullptr || name[0] == '\0' || strnlen(name, IFNAMSIZ) >= IFNAMSIZ) return false;
    return strchr(name, '/') == nullptr && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

// the stand-in's address file, or "" when the interface has no folder
bool standInFile(const char *name, char *out, size_t len) {
    char dir[256];
    snprintf(dir, sizeof(dir), "/sys/class/net/%s", name);
    char real[512];
    if (ril_host_path(dir, real, sizeof(real)) == nullptr) return false;
    struct stat st;
    if (stat(real, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    int n = snprintf(out, len, "%s/ipv4_address", real);
    return n > 0 && (size_t)n < len;
}

// a socket for the interface ioctls and the request naming the interface
int ioctlSocket(const char *name, struct ifreq *ifr) {
    memset(ifr, 0, sizeof(*ifr));
    snprintf(ifr->ifr_name, sizeof(ifr->ifr_name), "%s", name);
    return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

}  // namespace

extern "C" int ifc_init(void) { return 0; }
extern "C" void ifc_close(void) {}

extern "C" int ifc_get_info(const char *name, in_addr_t *addr, int *prefixLength, unsigned *flags) {
    if (addr != nullptr) *addr = 0;
    if (prefixLength != nullptr) *prefixLength = 0;
    if (flags != nullptr) *flags = 0;
    if (!nameOk(name)) return -1;
    char file[600];
    if (standInFile(name, file, sizeof(file))) {
        int fd = open(file, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        char text[32];
        ssize_t r = read(fd, text, sizeof(text) - 1);
        close(fd);
        if (r <= 0) return -1;
        text[r] = '\0';
        text[strcspn(text, " \r\n")] = '\0';
        struct in_addr a;
        if (inet_pton(AF_INET, text, &a) != 1) return -1;
        if (addr != nullptr) *addr = a.s_addr;
        if (prefixLength != nullptr) *prefixLength = 32;
        if (flags != nullptr) *flags = IFF_UP | IFF_RUNNING;
        return 0;
    }
    struct ifreq ifr;
    int s = ioctlSocket(name, &ifr);
    if (s < 0) return -1;
    int result = -1;
    if (ioctl(s, SIOCGIFADDR, &ifr) == 0) {
        if (addr != nullptr) *addr = ((struct sockaddr_in *)&ifr.ifr_addr)->sin_addr.s_addr;
        result = 0;
        if (flags != nullptr && ioctl(s, SIOCGIFFLAGS, &ifr) == 0) *flags = (unsigned)ifr.ifr_flags;
    }
    close(s);
    return result;
}

extern "C" int ifc_set_addr(const char *name, in_addr_t addr) {
    if (!nameOk(name)) return -1;
    char file[600];
    if (standInFile(name, file, sizeof(file))) {
        char tmp[640];
        snprintf(tmp, sizeof(tmp), "%s.%d", file, (int)getpid());
        int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        char text[INET_ADDRSTRLEN];
        struct in_addr a;
        a.s_addr = addr;
        inet_ntop(AF_INET, &a, text, sizeof(text));
        size_t len = strlen(text);
        bool ok = write(fd, text, len) == (ssize_t)len;
        close(fd);
        if (!ok || rename(tmp, file) != 0) {
            unlink(tmp);
            return -1;
        }
        return 0;
    }
    struct ifreq ifr;
    int s = ioctlSocket(name, &ifr);
    if (s < 0) return -1;
    struct sockaddr_in *sin = (struct sockaddr_in *)&ifr.ifr_addr;
    sin->sin_family = AF_INET;
    sin->sin_addr.s_addr = addr;
    int r = ioctl(s, SIOCSIFADDR, &ifr);
    close(s);
    return r == 0 ? 0 : -1;
}
