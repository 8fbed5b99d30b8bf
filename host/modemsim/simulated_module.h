// A simulated USB 3G/4G module: publishes its USB tree under a sysroot,
// serves its AT and modem ports on pseudo-terminals linked as
// $sysroot/dev/<tty>, answers AT commands in its family's dialect from a
// state that the commands and the control operations below change.
//
// Every public member is thread-safe. Tests use it in-process; the modemsim
// program wraps it with a control socket (control.h).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bootloader.h"
#include "dialect.h"
#include "module_state.h"
#include "power_device.h"
#include "usb_tree.h"

namespace modemsim {

enum class Port { At, Modem };

struct ModuleConfig {
    std::string sysroot;                 // $RIL_SYSROOT
    std::string model = "lte";           // "wcdma6290", "cdma", "lte", "lte8909", "asr"
    std::optional<UsbDevice> device;     // the USB device; default UsbTree::model(model)
    ModuleState state;                   // the module at power-on; see forModel()
    bool plugAtStart = true;
    std::chrono::milliseconds resetGap{1000};  // off USB during a reset

    // the default module of a model (throws std::invalid_argument when unknown)
    static ModuleConfig forModel(const std::string &model, const std::string &sysroot);
};

// One command as it reached the module.
struct Received {
    Port port;
    std::string text;  // as sent, without its CR
    int plug = 0;      // plugCount() when it arrived: which power-on it belongs to
};

class SimulatedModule {
public:
    explicit SimulatedModule(ModuleConfig cfg);
    ~SimulatedModule();
    SimulatedModule(const SimulatedModule &) = delete;
    SimulatedModule &operator=(const SimulatedModule &) = delete;

    // --- USB presence -------------------------------------------------
    // publishes the USB tree and links fresh pseudo-terminals (no-op when plugged)
    void plug();
    // hangs up the ports (readers see end of file or an error), removes the
    // links and the tree (no-op when unplugged)
    void unplug();
    // unplug, stay away for gap (default: the configured reset gap), plug;
    // returns at once, the module comes back from the I/O thread
    void powerReset(std::optional<std::chrono::milliseconds> gap = std::nullopt);
    bool plugged() const;
    // number of completed plugs since construction (a reset adds one)
    int plugCount() const;

    const std::string &sysroot() const { return cfg_.sysroot; }
    Family family() const { return family_; }
    const std::string &model() const { return cfg_.model; }
    const UsbDevice &device() const { return device_; }
    std::string atLink() const;     // $sysroot/dev/<atTty>
    std::string modemLink() const;  // $sysroot/dev/<modemTty>
    std::string atPty() const;      // current slave name (/dev/pts/N), empty when unplugged

    // --- SIM ------------------------------------------------------------
    // announce: send the family's unsolicited line for the event
    void simRemove(bool announce = true);
    void simInsert(bool announce = true);
    // a new card (new IMSI/ICCID when given) in place of the old one
    void simExchange(const std::string &imsi = "", const std::string &iccid = "", bool announce = true);
    // PIN enabled, and the card waits for it now (as after a power-on)
    void simLock();
    // the card waits for the PUK
    void simBlock();
    void setPin(const std::string &pin);
    void setPuk(const std::string &puk);
    void setAttempts(int pin, int puk);

    // --- network ----------------------------------------------------------
    void registerNetwork(Tech tech, const std::string &numeric, const std::string &longName,
                         const std::string &shortName = "", bool roaming = false);
    void deregister();  // loses service
    void setSignal(int rssi, int ber = 99);
    void setLteSignal(int rsrp, int rsrq, int sinr);

    // --- calls, SMS, USSD from the network ----------------------------------
    void incomingCall(const std::string &number);
    void remoteHangup();
    // runs a call event of the network side (call_dialect.h) under the lock,
    // sends its lines and schedules its later steps
    void callEvent(const std::function<void(ModuleState &, Effects &)> &event);
    void incomingSms(const std::string &pdu);
    void networkUssd(const std::string &text);

    // --- faults and scripting -----------------------------------------------
    void setMute(bool mute);          // read commands, answer nothing
    void setGarbage(bool garbage);    // answer every command with junk, no result
    void inject(const std::string &line, Port port = Port::At);  // "\r\n<line>\r\n"
    void injectRaw(const std::string &bytes, Port port = Port::At);
    // configured answer for a command: the reply lines, final result last
    // ("+CSQ: 5,99", "OK"); an empty list means no answer at all. The pattern
    // is compared with the normalized command text; a trailing '*' matches any
    // rest ("AT+CPIN=*").
    void setReply(const std::string &pattern, const std::vector<std::string> &lines);
    void clearReply(const std::string &pattern);
    void setUnknownReply(const std::vector<std::string> &lines);  // default {"OK"}

    // --- state ----------------------------------------------------------------
    ModuleState state() const;
    // changes the state under the lock and then sends the registration lines
    // the change causes (extension point for new controls)
    void update(const std::function<void(ModuleState &)> &change);

    // --- what the host sent -------------------------------------------------------
    std::vector<std::string> commands() const;  // AT port, in order
    // AT port commands since the last plug (power-on, reset)
    std::vector<std::string> commandsSincePlug() const;
    std::vector<Received> received() const;     // both ports
    void clearLog();
    // waits until the AT port received a command whose text equals text (or,
    // with a trailing '*', begins with it), counting from index from
    bool waitForCommand(const std::string &text, std::chrono::milliseconds timeout, size_t from = 0) const;

    // control-language entry (see control.h); returns the reply text
    std::string control(const std::string &line);

    // the diagnostic port and the download mode (bootloader.h)
    Bootloader &bootloader() { return *boot_; }

private:
    struct PortIo {
        int master = -1;
        int slaveKeep = -1;
        std::string slaveName;
        std::string link;
        std::string inbuf;
        bool pduMode = false;
        std::string pduCommand;
        std::string pdu;
        bool dataMode = false;
    };
    struct Timer {
        std::chrono::steady_clock::time_point at;
        std::function<void()> fn;  // runs on the I/O thread with the lock held
    };

    void ioLoop();
    void wake();
    void plugLocked();
    void unplugLocked();
    bool openPort(PortIo &p, const std::string &tty);
    void closePort(PortIo &p);
    void onReadable(Port which);
    void handleCommand(Port which, const std::string &raw);
    void writeLinesLocked(Port which, const std::vector<std::string> &lines);
    void writeLocked(Port which, const std::string &bytes);
    void emitLocked(const std::vector<std::string> &lines, Port which = Port::At);
    void changeLocked(const std::function<void(ModuleState &)> &change);
    void scheduleLocked(const std::vector<Later> &later);
    std::string garbageLocked();
    const std::vector<std::string> *configuredReplyLocked(const std::string &norm) const;
    PortIo &io(Port which) { return which == Port::At ? at_ : modem_; }

    ModuleConfig cfg_;
    Family family_;
    UsbDevice device_;
    UsbTree tree_;

    mutable std::mutex mu_;
    mutable std::condition_variable logCond_;
    ModuleState st_;
    bool plugged_ = false;
    int plugCount_ = 0;
    bool mute_ = false;
    bool garbage_ = false;
    unsigned garbageSeed_ = 12345;
    std::vector<std::pair<std::string, std::vector<std::string>>> replies_;
    std::vector<std::string> unknownReply_{"OK"};
    std::vector<Received> log_;
    std::vector<Timer> timers_;
    PortIo at_, modem_;

    int wakeRead_ = -1, wakeWrite_ = -1;
    bool stop_ = false;
    std::thread thread_;
    // $sysroot/dev/pa_dev: the library's reset requests take the module off
    // USB and bring it back after the reset gap
    std::unique_ptr<PowerDevice> power_;
    std::unique_ptr<Bootloader> boot_;
};

}  // namespace modemsim
