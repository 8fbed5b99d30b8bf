// host-rild's output as a script reader and as a console: every answer is
// printed before the daemon reports itself idle or ends with its input, JSON
// mode prints only JSON objects and console mode none, responses name their
// request by code, unknown answer shapes print as bytes, and every RIL_Errno
// has its name. The daemon loads the small fake library of the fixtures.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "daemon_harness.h"
#include "temp_root.h"

using nlohmann::json;

namespace {

struct DaemonRun {
    int status = -1;
    std::vector<std::string> lines;  // standard output
};

// Runs host-rild over a script with --exit-on-eof; json selects the mode.
DaemonRun runScript(const riltest::TempRoot &root, const std::string &script, bool jsonMode) {
    root.writeFile("/script.txt", script);
    root.makeDirs("/sysroot");
    root.makeDirs("/properties");
    int out[2];
    DaemonRun run;
    if (pipe(out) != 0) return run;
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        setenv("RIL_SYSROOT", root.at("/sysroot").c_str(), 1);
        setenv("RIL_PROPERTY_DIR", root.at("/properties").c_str(), 1);
        setenv("RIL_LOG", root.at("/ril.log").c_str(), 1);
        std::string bin = riltest::buildPath("/bin/host-rild");
        std::string lib = riltest::buildPath("/lib/libfake-ril.so");
        std::string scriptPath = root.at("/script.txt");
        std::vector<const char *> argv = {bin.c_str(), "--lib", lib.c_str(), "--script", scriptPath.c_str(),
                                          "--exit-on-eof"};
        if (jsonMode) argv.push_back("--json");
        argv.push_back(nullptr);
        execv(bin.c_str(), (char *const *)argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof(buf))) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) text.append(buf, (size_t)n);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) run.lines.push_back(line);
    return run;
}

std::vector<json> objects(const DaemonRun &r) {
    std::vector<json> v;
    for (const auto &l : r.lines) v.push_back(json::parse(l, nullptr, false));
    return v;
}

TEST(HostRild, TheLastAnswerIsPrintedBeforeIdleAndBeforeTheEndOfInput) {
    // the answer comes from the library's event thread while the input
    // thread waits: it used to be lost now and then
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        riltest::TempRoot root;
        DaemonRun r = runScript(root, "signal\nidle\nsignal\n", true);
        EXPECT_EQ(r.status, 0);
        std::vector<std::string> types;
        for (const json &m : objects(r))
            if (m.is_object() && m.value("type", "") != "init") types.push_back(m.value("type", ""));
        EXPECT_EQ(types, (std::vector<std::string>{"queued", "response", "idle", "queued", "response"}));
    }
}

TEST(HostRild, JsonModePrintsOnlyJsonObjects) {
    riltest::TempRoot root;
    DaemonRun r = runScript(root, "help\nlist\nusage dial\nusage\nstate\nversion\nidle\nnosuch\n\"open\nGET_MUTE\n", true);
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> types;
    for (const auto &line : r.lines) {
        json m = json::parse(line, nullptr, false);
        ASSERT_TRUE(m.is_object()) << line;
        types.push_back(m.value("type", ""));
    }
    EXPECT_EQ(types, (std::vector<std::string>{"init", "help", "list", "usage", "error", "state", "version", "idle",
                                               "error", "error", "queued", "response"}));
    auto all = objects(r);
    EXPECT_NE(all[1]["text"].get<std::string>().find("Other commands"), std::string::npos);
    const json &list = all[2]["requests"];
    ASSERT_TRUE(list.is_array());
    ASSERT_GE(list.size(), 132u);
    EXPECT_EQ(list[9], (json{{"code", 10}, {"name", "RIL_REQUEST_DIAL"}, {"arguments", list[9]["arguments"]}}));
    EXPECT_EQ(all[3]["request"], "RIL_REQUEST_DIAL");
    EXPECT_EQ(all[3]["code"], 10);
    EXPECT_EQ(all[5]["radio_state"], 10);
    EXPECT_EQ(all[6]["text"], "fake");
}

TEST(HostRild, ConsoleModeNeverPrintsRawJson) {
    riltest::TempRoot root;
    DaemonRun r = runScript(root, "help\nlist\nusage dial\nstate\nversion\nidle\nnosuch\nGET_MUTE\n500\n", false);
    EXPECT_EQ(r.status, 0);
    ASSERT_FALSE(r.lines.empty());
    for (const auto &line : r.lines) {
        json m = json::parse(line, nullptr, false);
        EXPECT_FALSE(m.is_object() || m.is_array()) << line;
    }
    std::string all;
    for (const auto &line : r.lines) all += line + "\n";
    EXPECT_NE(all.find("radio state RADIO_STATE_ON (10)"), std::string::npos) << all;
    EXPECT_NE(all.find("< RIL_REQUEST_GET_MUTE (54) token="), std::string::npos) << all;
    EXPECT_NE(all.find("10 RIL_REQUEST_DIAL"), std::string::npos);
    EXPECT_NE(all.find("hex: 010203040506"), std::string::npos) << all;
}

TEST(HostRild, ResponsesNameTheirRequestByCodeAndUnknownShapesPrintAsBytes) {
    riltest::TempRoot root;
    DaemonRun r = runScript(root, "GET_MUTE\n500\n501\n", true);
    EXPECT_EQ(r.status, 0);
    std::vector<json> responses;
    for (const json &m : objects(r))
        if (m.value("type", "") == "response") responses.push_back(m);
    ASSERT_EQ(responses.size(), 3u);
    EXPECT_EQ(responses[0]["request"], "RIL_REQUEST_GET_MUTE");
    EXPECT_EQ(responses[0]["code"], 54);
    EXPECT_EQ(responses[0]["data"], json::array({1}));
    EXPECT_EQ(responses[1]["code"], 500);
    EXPECT_EQ(responses[1]["data"], (json{{"bytes", 6}, {"hex", "010203040506"}}));
    // eight bytes are not two integers when the shape is unknown
    EXPECT_EQ(responses[2]["code"], 501);
    EXPECT_EQ(responses[2]["data"]["bytes"], 8);
    EXPECT_EQ(responses[2]["data"]["hex"], "0700000008000000");
}

TEST(HostRild, EveryErrorHasItsName) {
    // the platform's RIL_Errno names, in order
    const char *const names[] = {"SUCCESS",
                                 "RADIO_NOT_AVAILABLE",
                                 "GENERIC_FAILURE",
                                 "PASSWORD_INCORRECT",
                                 "SIM_PIN2",
                                 "SIM_PUK2",
                                 "REQUEST_NOT_SUPPORTED",
                                 "CANCELLED",
                                 "OP_NOT_ALLOWED_DURING_VOICE_CALL",
                                 "OP_NOT_ALLOWED_BEFORE_REG_TO_NW",
                                 "SMS_SEND_FAIL_RETRY",
                                 "SIM_ABSENT",
                                 "SUBSCRIPTION_NOT_AVAILABLE",
                                 "MODE_NOT_SUPPORTED",
                                 "FDN_CHECK_FAILURE",
                                 "ILLEGAL_SIM_OR_ME",
                                 "MISSING_RESOURCE",
                                 "NO_SUCH_ELEMENT",
                                 "UNKNOWN_ERROR"};
    std::string script;
    for (int e = 0; e <= 18; e++) script += std::to_string(1000 + e) + "\n";
    riltest::TempRoot root;
    DaemonRun json_ = runScript(root, script, true);
    std::vector<json> responses;
    for (const json &m : objects(json_))
        if (m.value("type", "") == "response") responses.push_back(m);
    ASSERT_EQ(responses.size(), 19u);
    for (int e = 0; e <= 18; e++) {
        EXPECT_EQ(responses[(size_t)e]["error"], e);
        EXPECT_EQ(responses[(size_t)e]["error_name"], names[e]);
    }
    riltest::TempRoot root2;
    DaemonRun console = runScript(root2, script, false);
    std::string all;
    for (const auto &line : console.lines) all += line + "\n";
    for (int e = 0; e <= 18; e++)
        EXPECT_NE(all.find(std::string("error=") + names[e] + "(" + std::to_string(e) + ")"), std::string::npos)
            << names[e];
}

}  // namespace
