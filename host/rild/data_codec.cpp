#include "data_codec.h"

namespace hostril {

void expandDataShortcut(const std::string &cmd, std::vector<Arg> &args) {
    if (cmd == "data" && !args.empty() && args.size() <= 3) {
        Arg none;
        none.isNull = true;
        std::vector<Arg> full;
        full.push_back({"1", false});  // radio technology
        full.push_back({"0", false});  // profile
        full.push_back(args[0]);
        full.push_back(args.size() > 1 ? args[1] : none);
        full.push_back(args.size() > 2 ? args[2] : none);
        full.push_back({"0", false});  // authentication type
        args = full;
    } else if ((cmd == "deactivate" || cmd == "datadown") && args.empty()) {
        args.push_back({"1", false});
    }
}

}  // namespace hostril
