// A scripted module on the far end of a pseudo-terminal.
//
// The peer owns the master side of a pty; the library opens the slave as its
// AT port. The test writes a script: for each command line the library is
// expected to send (matched exactly, without the carriage return), the reply
// to give; plus unsolicited lines, raw bytes, pauses and the unplug (closing
// the master) at any point. A peer thread follows the script in order. A
// command that does not match the next expected one, or arrives after the
// end of the script, is a failure reported with the command text and the
// script position; verify() (and the destructor, when verify was not called)
// turns failures and an unfinished script into test failures. Every wait has
// a deadline, so a test never hangs on the peer.
//
//   riltest::ScriptedPeer peer;
//   peer.expect("AT+CSQ", {"+CSQ: 21,99", "OK"});            // reply lines
//   peer.expect("AT+CMGS=12", riltest::Reply::smsPrompt()     // "> " then
//                   .thenExpectPdu("0011...")                 // PDU + Ctrl-Z
//                   .thenLines({"+CMGS: 5", "OK"}));
//   peer.inject("RING");                                      // unsolicited
//   peer.silence("AT+COPS?");                                 // no answer
//   peer.close();                                             // unplug
//   int fd = peer.openSlave();  at_open(fd, handler);  ...run the request...
//   peer.verify();
//   std::cout << peer.transcript();
//
// A handler test is mostly a table:
//   peer.script({{"AT+CPIN?", {"+CPIN: READY", "OK"}},
//                {"AT+CIMI", {"460001234567890", "OK"}}});
//
// Replies are written as "\r\n" + line + "\r\n" (a real module's framing);
// setLineFraming changes that (CR-only, LF-only, LF-CR ...), and
// setWriteChunk splits every write into pieces of n bytes with a gap, so the
// library's reads see the reply cut at arbitrary points. Inside a reply,
// unsolicited lines are simply more lines (Reply{"+X: 1", "RING", "OK"}).
// For the real library run by the host daemon, linkAt() places a symbolic
// link to the slave, e.g. at $RIL_SYSROOT/dev/ttyUSB2.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace riltest {

class Reply {
public:
    struct Action {
        enum Kind { Line, Raw, Pause, Prompt, ExpectPdu, Close, WaitUntil } kind;
        std::string text;
        int ms = 0;
        std::function<bool()> cond;
    };

    Reply() = default;
    Reply(std::initializer_list<std::string> lines);
    Reply(const std::vector<std::string> &lines);  // NOLINT: implicit on purpose

    static Reply smsPrompt();  // "\r\n> " without a line end
    static Reply none() { return Reply(); }

    Reply &line(const std::string &l);
    Reply &thenLines(const std::vector<std::string> &lines);
    Reply &raw(const std::string &bytes);  // written as they are
    Reply &pause(int ms);                  // real milliseconds (the peer is not scaled)
    Reply &prompt();
    Reply &thenExpectPdu(const std::string &pdu);  // reads up to Ctrl-Z; compares the text
    Reply &thenClose();                            // unplug right here
    // waits (up to ms) until cond() holds, e.g. until the library has seen
    // the lines so far; a failure when it never does
    Reply &thenWaitUntil(std::function<bool()> cond, int ms = 5000);

    const std::vector<Action> &actions() const { return actions_; }

private:
    std::vector<Action> actions_;
};

struct Exchange {
    std::string command;
    Reply reply;
};

class ScriptedPeer {
public:
    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    const std::string &slavePath() const { return slavePath_; }
    // a new descriptor on the slave, raw mode, owned by the caller
    int openSlave() const;
    // a symbolic link to the slave at path (directories made); false on failure
    bool linkAt(const std::string &path) const;

    // script steps, followed in order
    ScriptedPeer &expect(const std::string &command, const Reply &reply);
    ScriptedPeer &script(std::initializer_list<Exchange> exchanges);
    ScriptedPeer &silence(const std::string &command);  // expect, answer nothing
    ScriptedPeer &inject(const std::string &line);      // a framed line
    ScriptedPeer &injectRaw(const std::string &bytes);
    ScriptedPeer &pause(int ms);
    ScriptedPeer &close();  // unplug: the master side is closed

    // out of script: write a framed line now
    void sendNow(const std::string &line);

    void setLineFraming(const std::string &before, const std::string &after);
    void setWriteChunk(size_t bytes, std::chrono::microseconds gap);

    // true once every step has run (false on deadline or failure)
    bool waitScriptDone(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // waits until n commands have arrived
    bool waitCommands(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // fails the test on any mismatch, unexpected command or unfinished script
    void verify(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    std::vector<std::string> commands() const;
    std::vector<std::string> failures() const;
    std::string transcript() const;
    size_t position() const;  // index of the step being run

private:
    struct Step {
        enum Kind { Expect, Inject, Raw, Pause, Close } kind;
        std::string text;
        Reply reply;
        int ms = 0;
    };

    void add(Step s);
    void run();
    bool runStep(const Step &s, size_t index);
    bool runAction(const Reply::Action &a, const std::string &command, size_t index);
    bool readLine(std::string &line, bool untilStop);
    bool readPdu(std::string &pdu, std::chrono::milliseconds timeout);
    bool fillInput(int waitMs);
    bool writeOut(const std::string &bytes);
    void closeMaster();
    void note(const std::string &entry);
    void fail(const std::string &what);
    void reportOnce();

    int master_ = -1;
    int holdSlave_ = -1;
    std::string slavePath_;
    std::string before_ = "\r\n";
    std::string after_ = "\r\n";
    size_t chunk_ = 0;
    std::chrono::microseconds gap_{0};
    std::string inbuf_;

    mutable std::mutex lock_;
    std::condition_variable cond_;
    std::mutex writeLock_;
    std::deque<Step> steps_;
    size_t done_ = 0;  // steps finished
    size_t total_ = 0;
    bool busy_ = false;
    bool failed_ = false;
    bool stop_ = false;
    bool reported_ = false;
    std::vector<std::string> commands_;
    std::vector<std::string> failures_;
    std::vector<std::string> transcript_;
    std::thread thread_;
};

// An unsolicited handler for channel tests: records every call.
struct UnsolCall {
    std::string line;
    std::string body;  // empty when the handler got NULL
    bool hasBody = false;
};
void recordUnsol(const char *line, const char *body);
std::vector<UnsolCall> recordedUnsol();
std::vector<std::string> recordedUnsolLines();
void clearRecordedUnsol();
bool waitRecordedUnsol(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace riltest
