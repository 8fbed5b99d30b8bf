#include "capture_replay.h"

#include <map>
#include <sstream>

#include "at_client.h"
#include "dialect.h"
#include "simulated_module.h"

namespace modemsim {

namespace {

// The message of a log line when its tag is AT: the host layout ends the
// header with " AT: ", logcat's brief layout with "/AT" and "): ".
bool atMessage(const std::string &line, std::string *msg) {
    size_t p = line.find(" AT: ");
    if (p != std::string::npos) {
        *msg = line.substr(p + 5);
        return true;
    }
    p = line.find("/AT");
    if (p != std::string::npos) {
        size_t colon = line.find("): ", p);
        if (colon != std::string::npos) {
            *msg = line.substr(colon + 3);
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<CaptureExchange> parseCapture(const std::string &logText, size_t maxLine, size_t maxExchanges) {
    std::vector<CaptureExchange> out;
    std::istringstream in(logText);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string msg;
        if (!atMessage(line, &msg)) continue;
        if (msg.size() < 4 || (msg.compare(0, 4, "AT> ") != 0 && msg.compare(0, 4, "AT< ") != 0)) continue;
        std::string text = msg.substr(4, maxLine);
        if (msg[2] == '>') {
            if (out.size() >= maxExchanges) break;
            if (text.empty()) continue;
            out.push_back({text, {}});
        } else if (!out.empty()) {
            if (text.empty() || text == out.back().command) continue;  // blank or the module's echo
            out.back().lines.push_back(text);
        }
    }
    return out;
}

void replayCapture(SimulatedModule &module, const std::vector<CaptureExchange> &capture) {
    std::map<std::string, std::vector<std::string>> last;
    // the module compares configured answers with the normalized command
    for (size_t i = 0; i < capture.size(); i++) {
        const CaptureExchange &e = capture[i];
        std::string command = normalizeCommand(e.command);
        // The log may end before the capture's last command got its final
        // result: that answer is cut by the end of the capture, not the
        // module's, and does not replace an answer the command got earlier.
        bool cutOff = i + 1 == capture.size() && (e.lines.empty() || !AtClient::isFinal(e.lines.back()));
        if (cutOff && last.count(command) != 0) continue;
        last[command] = e.lines;
    }
    for (const auto &c : last) {
        // a '*' in a captured command would be read as a wildcard at its end
        if (!c.first.empty() && c.first.back() == '*') continue;
        module.setReply(c.first, c.second);
    }
    module.setUnknownReply({"ERROR"});
}

}  // namespace modemsim
