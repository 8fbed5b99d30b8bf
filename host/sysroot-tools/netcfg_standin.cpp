// netcfg stand-in: "netcfg IF up|down|dhcp". dhcp gives the interface an
// address (setting "address" of $RIL_SYSROOT/etc/netcfg-standin.conf,
// default 192.168.225.23) in a fake $RIL_SYSROOT/sys/class/net/IF/; down
// drops the folder.
#include <string.h>

#include "standin_common.h"

int main(int argc, char **argv) {
    using namespace standin;
    recordArgs("netcfg", argc, argv);
    if (argc < 3 || strchr(argv[1], '/') != nullptr) return 1;
    std::string ifdir = inSysroot(std::string("/sys/class/net/") + argv[1]);
    std::string op = argv[2];
    if (op == "down") {
        removeTree(ifdir);
    } else if (op == "dhcp") {
        makeDirs(ifdir + "/statistics");
        bump(ifdir + "/statistics/rx_packets", 0);
        bump(ifdir + "/statistics/tx_packets", 0);
        writeFile(ifdir + "/ipv4_address", config("netcfg", "address", "192.168.225.23"));
    } else if (op != "up") {
        return 1;
    }
    return 0;
}
