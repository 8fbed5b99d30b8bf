#include "pty_link.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace modemsim {

bool openPtyLink(const std::string &link, PtyLink *out) {
    int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0) return false;
    char name[128];
    if (grantpt(m) != 0 || unlockpt(m) != 0 || ptsname_r(m, name, sizeof name) != 0) {
        close(m);
        return false;
    }
    int s = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        close(m);
        return false;
    }
    struct termios t;
    if (tcgetattr(s, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(s, TCSANOW, &t);
    }
    fcntl(m, F_SETFL, fcntl(m, F_GETFL) | O_NONBLOCK);
    out->master = m;
    out->slaveKeep = s;
    out->slaveName = name;
    out->link = link;
    size_t slash = link.rfind('/');
    if (slash != std::string::npos && slash > 0) mkdir(link.substr(0, slash).c_str(), 0755);
    unlink(link.c_str());
    if (symlink(name, link.c_str()) != 0) {
        // keep serving; the host just cannot find the port
    }
    return true;
}

void closePtyLink(PtyLink *p) {
    if (!p->link.empty()) unlink(p->link.c_str());
    if (p->slaveKeep >= 0) close(p->slaveKeep);
    if (p->master >= 0) close(p->master);
    *p = PtyLink();
}

void writeAllTo(int master, const std::string &bytes) {
    size_t off = 0;
    while (master >= 0 && off < bytes.size()) {
        ssize_t n = write(master, bytes.data() + off, bytes.size() - off);
        if (n > 0) {
            off += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
}

int pollPorts(int wakeFd, int a, int b, int timeoutMs, short revents[2]) {
    struct pollfd pfd[3];
    nfds_t n = 0;
    pfd[n++] = {wakeFd, POLLIN, 0};
    int idx[2] = {-1, -1};
    const int ports[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        if (ports[i] < 0) continue;
        idx[i] = static_cast<int>(n);
        pfd[n++] = {ports[i], POLLIN, 0};
    }
    int r = poll(pfd, n, timeoutMs);
    for (int i = 0; i < 2; ++i) revents[i] = r > 0 && idx[i] >= 0 ? pfd[idx[i]].revents : 0;
    if (r > 0 && (pfd[0].revents & POLLIN)) {
        char buf[64];
        while (read(wakeFd, buf, sizeof buf) > 0) {
        }
    }
    return r;
}

}  // namespace modemsim
