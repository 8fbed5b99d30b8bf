// A pseudo-terminal served by the simulated module, its slave linked where
// the host looks for a tty ($sysroot/dev/<tty>).
#pragma once

#include <string>

namespace modemsim {

struct PtyLink {
    int master = -1;      // non-blocking
    int slaveKeep = -1;   // our own slave descriptor: no hang-up while the host has it closed
    std::string slaveName;
    std::string link;
};

// a raw pty with its slave linked at link (an old link is replaced); false
// when no pty can be made (a link that cannot be made still serves)
bool openPtyLink(const std::string &link, PtyLink *out);
// removes the link and hangs the terminal up: readers of the slave see end
// of file or EIO; *p is reset
void closePtyLink(PtyLink *p);
// writes all bytes to a non-blocking master; when nobody reads and the
// terminal is full, the rest is lost
void writeAllTo(int master, const std::string &bytes);

// Waits up to timeoutMs (-1: no limit) for input on the wake pipe or on
// ports a and b (-1: not open), and empties the wake pipe. Returns poll's
// result; revents[0] and revents[1] are the ports' events (0 when not open).
int pollPorts(int wakeFd, int a, int b, int timeoutMs, short revents[2]);

}  // namespace modemsim
