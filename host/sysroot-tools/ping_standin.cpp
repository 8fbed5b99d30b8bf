// ping stand-in: records its arguments and, when the fake ppp0 exists,
// counts one packet each way on it (the traffic a ping would cause). It
// never sends anything. Exit status 0 with a link, 1 without. A file
// $RIL_SYSROOT/run/link-silent makes the link silent: no answer, no count.
#include <sys/stat.h>

#include "standin_common.h"

int main(int argc, char **argv) {
    using namespace standin;
    recordArgs("ping", argc, argv);
    std::string ifdir = inSysroot("/sys/class/net/ppp0");
    struct stat st;
    if (stat(ifdir.c_str(), &st) != 0) return 1;
    if (stat(inSysroot("/run/link-silent").c_str(), &st) == 0) {
        bump(ifdir + "/statistics/tx_packets", 1);  // sent, nothing comes back
        return 1;
    }
    bump(ifdir + "/statistics/rx_packets", 1);
    bump(ifdir + "/statistics/tx_packets", 1);
    return 0;
}
