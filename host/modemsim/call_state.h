// The simulated module's voice calls: a call table of up to seven calls in
// the states of 27.007 "+CLCC", the supplementary-service settings, and what
// the host did with mute, volume and tones. Plain data (see call_dialect.h).
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace modemsim {

// "+CLCC" stat values
enum class CallStat { Active = 0, Held = 1, Dialing = 2, Alerting = 3, Incoming = 4, Waiting = 5 };

struct SimCall {
    int id = 1;               // 1..7
    unsigned serial = 0;      // unique per call: timers check they still act on it
    bool outgoing = false;
    CallStat stat = CallStat::Dialing;
    std::string number;
    bool mpty = false;
    std::chrono::steady_clock::time_point since{};  // when it became active (or was created)
};

// What the far end does with the next outgoing call.
enum class DialFate { Answer, Busy, NoAnswer, Drop };

struct ForwardRule {
    bool active = false;
    std::string number;
    int type = 129;
};

struct CallTable {
    static constexpr int kMaxCalls = 7;
    std::vector<SimCall> calls;
    unsigned nextSerial = 1;

    // the network side
    DialFate nextFate = DialFate::Answer;
    int dropStatus = 29;             // end status of a dropped dial
    int origMs = 50, alertMs = 100, answerMs = 200;  // dialling progress (real time)
    int ringMs = 2000;               // RING repeats while a call is incoming

    // supplementary services
    bool waiting = true;             // "+CCWA" enabled
    int clir = 0;                    // "+CLIR" n
    std::map<int, ForwardRule> forwards;  // "+CCFC" by reason
    std::string cusdDuring;          // text of a "+CUSD:" sent inside the next CCWA/CCFC/CLIR reply

    // audio
    bool muted = false;
    int volume = 4;
    std::vector<std::string> tones;  // every DTMF command, as sent
};

}  // namespace modemsim
