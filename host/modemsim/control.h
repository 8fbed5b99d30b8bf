// The control language of the simulated module (one command per line, the
// same for the Unix socket, the program's client mode and the in-process
// SimulatedModule::control), the socket server and a small client.
//
// A reply is zero or more text lines followed by "OK", or one line
// "ERROR <reason>". "help" lists the commands.
#pragma once

#include <string>
#include <thread>
#include <vector>

namespace modemsim {

class SimulatedModule;

// Runs one control line; returns the reply, lines separated by '\n', the
// last one "OK" or "ERROR ...". Never throws.
std::string executeControl(SimulatedModule &module, const std::string &line);

// Words of a control line: blanks separate, double quotes group.
std::vector<std::string> splitControlWords(const std::string &line);

// Serves the control language on a Unix-domain stream socket (removed again
// by the destructor). Many clients may be connected; each line gets its reply.
class ControlServer {
public:
    ControlServer(SimulatedModule &module, std::string path);
    ~ControlServer();
    ControlServer(const ControlServer &) = delete;
    ControlServer &operator=(const ControlServer &) = delete;
    const std::string &path() const { return path_; }

private:
    void loop();

    SimulatedModule &module_;
    std::string path_;
    int listenFd_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::thread thread_;
};

// Sends one control line to a socket and returns the reply (without the
// final "OK"); false on a connection failure or an "ERROR" reply (then
// *reply holds the error line).
bool sendControl(const std::string &socketPath, const std::string &line, std::string *reply);

}  // namespace modemsim
