// ps stand-in: "ps NAME" lists the live processes whose name is NAME in the
// platform's format, a header line and then
// "USER PID PPID VSIZE RSS WCHAN PC STATE NAME" per process; "ps" alone
// lists every process.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "standin_common.h"

int main(int argc, char **argv) {
    printf("USER     PID   PPID  VSIZE  RSS     WCHAN    PC         NAME\n");
    DIR *d = opendir("/proc");
    if (d == nullptr) return 1;
    while (struct dirent *e = readdir(d)) {
        char *end = nullptr;
        long pid = strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0') continue;
        std::string stat = standin::readFile(std::string("/proc/") + e->d_name + "/stat");
        size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size()) continue;
        std::string comm = stat.substr(open + 1, close - open - 1);
        char state = stat[close + 2];
        long ppid = atol(stat.c_str() + close + 4);
        if (state == 'Z') continue;
        if (argc > 1 && comm != argv[1]) continue;
        printf("root      %ld  %ld     1000   100   ffffffff 00000000 %c %s\n", pid, ppid, state, comm.c_str());
    }
    closedir(d);
    return 0;
}
