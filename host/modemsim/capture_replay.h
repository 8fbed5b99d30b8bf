// Capture and replay: a module's traffic as the library logged it ("AT> "
// for every command sent, "AT< " for every line received; a host log or a
// device logcat) turned back into the module's answers, so that a field
// report becomes a scripted peer.
#pragma once

#include <string>
#include <vector>

namespace modemsim {

class SimulatedModule;

struct CaptureExchange {
    std::string command;             // as the library sent it
    std::vector<std::string> lines;  // every line received until the next command, echo left out
};

// Reads the "AT> "/"AT< " lines of a log in either layout (the host's
// "... D AT: AT> ATE0" or logcat's "D/AT ( 123): AT> ATE0"); other lines and
// lines received before the first command are skipped. Lines longer than
// maxLine are cut, at most maxExchanges exchanges are kept.
std::vector<CaptureExchange> parseCapture(const std::string &logText, size_t maxLine = 4096,
                                          size_t maxExchanges = 100000);

// Makes the module answer each captured command with the lines the capture
// received after it (for a command sent more than once, its last answer, so
// that a retry loop in the capture ends as it ended there; the capture's
// last command, when the log ends before its final result, keeps the
// answer it got earlier), and every
// command the capture does not hold with "ERROR".
void replayCapture(SimulatedModule &module, const std::vector<CaptureExchange> &capture);

}  // namespace modemsim
