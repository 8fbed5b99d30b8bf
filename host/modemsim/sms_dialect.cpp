#include "sms_dialect.h"

#include <cstdio>
#include <cstdlib>

namespace modemsim {

namespace {

std::string fmt(const char *f, int a) {
    char b[128];
    snprintf(b, sizeof b, f, a);
    return b;
}

bool toInt(const std::string &t, int *out) {
    if (t.empty()) return false;
    char *end = nullptr;
    long v = strtol(t.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

bool isHex(const std::string &t) {
    if (t.empty() || t.size() % 2 != 0) return false;
    for (char c : t)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

SmsStore *store(ModuleState &s, const std::string &mem) {
    if (mem == "SM") return &s.sms.sm;
    if (mem == "ME") return &s.sms.me;
    return nullptr;
}

// TPDU octets of a PDU that begins with its SMSC part
int tpduLength(const std::string &pdu) {
    int octets = static_cast<int>(pdu.size() / 2);
    int smsc = pdu.size() >= 2 ? static_cast<int>(strtol(pdu.substr(0, 2).c_str(), nullptr, 16)) + 1 : 0;
    return octets > smsc ? octets - smsc : octets;
}

int freeSlot(const SmsStore &st) {
    for (int i = 0; i < st.capacity; i++)
        if (!st.slots.count(i)) return i;
    return -1;
}

std::string cmsError(int code) { return fmt("+CMS ERROR: %d", code); }

int statusOf(const std::string &arg) {
    int v = -1;
    if (toInt(arg, &v)) return v;
    if (arg == "REC UNREAD") return kRecUnread;
    if (arg == "REC READ") return kRecRead;
    if (arg == "STO UNSENT") return kStoUnsent;
    if (arg == "STO SENT") return kStoSent;
    if (arg == "ALL") return 4;
    return -1;
}

std::string usage(const SmsStore &st) {
    return std::to_string(st.slots.size()) + "," + std::to_string(st.capacity);
}

}  // namespace

bool answerSmsCommand(ModuleState &s, const std::string &name, bool set, bool query, bool test,
                      const std::vector<std::string> &args, std::vector<std::string> *lines,
                      std::string *final, Effects *fx) {
    SmsState &m = s.sms;
    const bool qc = name.compare(0, 3, "$QC") == 0;
    const std::string base = qc ? "+" + name.substr(3) : name;
    *final = "OK";
    if (base == "+CPMS") {
        if (test) {
            lines->push_back("+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")");
        } else if (query) {
            std::string l = "+CPMS: ";
            const std::string *mems[] = {&m.readMem, &m.writeMem, &m.recvMem};
            for (int i = 0; i < 3; i++) l += (i ? "," : "") + ("\"" + *mems[i] + "\",") + usage(*store(s, *mems[i]));
            lines->push_back(l);
        } else if (set) {
            std::string *mems[] = {&m.readMem, &m.writeMem, &m.recvMem};
            for (size_t i = 0; i < args.size() && i < 3; i++)
                if (store(s, args[i]) == nullptr) {
                    *final = cmsError(302);
                    return true;
                }
            for (size_t i = 0; i < args.size() && i < 3; i++) *mems[i] = args[i];
            lines->push_back("+CPMS: " + usage(*store(s, m.readMem)) + "," + usage(*store(s, m.writeMem)) + "," +
                             usage(*store(s, m.recvMem)));
        }
        return true;
    }
    if (base == "+CSMS") {
        if (set && !args.empty()) toInt(args[0], &m.csms);
        if (query) lines->push_back(fmt("+CSMS: %d,1,1,1", m.csms));
        else lines->push_back("+CSMS: 1,1,1");
        return true;
    }
    if (base == "+CNMI") {
        if (query) {
            lines->push_back(fmt("+CNMI: 2,%d,0,0,0", m.cnmiMt));
        } else if (set && args.size() >= 2) {
            toInt(args[1], &m.cnmiMt);
            // a host that sets its notifications again (a restarted one) gets
            // what it never acknowledged once more
            for (const std::string &l : redeliverUnacked(s)) fx->unsolicited.push_back(l);
        }
        return true;
    }
    if (base == "+CNMA") {
        if (m.unacked.empty()) {
            *final = cmsError(340);  // no acknowledgement expected
        } else {
            m.unacked.erase(m.unacked.begin());
        }
        return true;
    }
    if (base == "+CSCA") {
        if (query) lines->push_back("+CSCA: \"" + m.smsc + "\",145");
        if (set && !args.empty()) m.smsc = args[0];
        return true;
    }
    if (base == "+CMGR" && set) {
        SmsStore *st = store(s, m.readMem);
        int index = -1;
        if (args.empty() || !toInt(args[0], &index) || index < 0 || index >= st->capacity) {
            *final = cmsError(321);
            return true;
        }
        auto it = st->slots.find(index);
        const std::string head = qc ? "^HCMGR: " : "+CMGR: ";
        if (it == st->slots.end()) {
            if (m.emptySlotHeader)
                lines->push_back(head + "0,,0");  // an empty slot, header and OK at once
            else
                *final = cmsError(321);
            return true;
        }
        lines->push_back(head + std::to_string(it->second.status) + ",," + std::to_string(tpduLength(it->second.pdu)));
        lines->push_back(it->second.pdu);
        if (it->second.status == kRecUnread) it->second.status = kRecRead;
        return true;
    }
    if (base == "+CMGL" && (set || query == false)) {
        if (test) {
            lines->push_back("+CMGL: (0-4)");
            return true;
        }
        int want = args.empty() ? kRecUnread : statusOf(args[0]);
        if (want < 0 || want > 4) {
            *final = cmsError(302);
            return true;
        }
        SmsStore *st = store(s, m.readMem);
        for (auto &slot : st->slots) {
            StoredSms &msg = slot.second;
            if (want != 4 && msg.status != want) continue;
            std::string len = std::to_string(tpduLength(msg.pdu));
            if (qc)
                lines->push_back("^HCMGL: " + std::to_string(msg.status) + "," + std::to_string(slot.first) + ",," + len);
            else
                lines->push_back("+CMGL: " + std::to_string(slot.first) + "," + std::to_string(msg.status) + ",," + len);
            lines->push_back(msg.pdu);
            if (msg.status == kRecUnread) msg.status = kRecRead;
        }
        return true;
    }
    if (base == "+CMGD" && set) {
        SmsStore *st = store(s, m.readMem);
        int index = -1, flag = 0;
        if (args.empty() || !toInt(args[0], &index) || index < 0 || index >= st->capacity) {
            *final = cmsError(321);
            return true;
        }
        if (args.size() > 1) toInt(args[1], &flag);
        if (flag == 4)
            st->slots.clear();
        else
            st->slots.erase(index);
        return true;
    }
    if ((base == "+CMGS" || base == "+CMGW" || name == "^HCMGS") && set) {
        if (base == "+CMGW") {
            int status = kStoUnsent;
            if (args.size() > 1) toInt(args[1], &status);
            m.writeStatus = (status >= 0 && status <= 3) ? status : kStoUnsent;
        }
        fx->pduPrompt = true;
        fx->pduCommand = name;
        fx->silentPrompt = m.noPrompt;
        final->clear();  // the result comes after the PDU
        return true;
    }
    return false;
}

std::vector<std::string> answerSmsPdu(ModuleState &s, const std::string &command, const std::string &pdu) {
    SmsState &m = s.sms;
    if (pdu.empty()) return {cmsError(304)};
    if (command == "+CMGW") {
        SmsStore *st = store(s, m.writeMem);
        if (!isHex(pdu)) return {cmsError(304)};
        int i = freeSlot(*st);
        if (i < 0) return {cmsError(322)};  // memory full
        st->slots[i] = StoredSms{m.writeStatus, pdu};
        return {fmt("+CMGW: %d", i), "OK"};
    }
    m.sent.push_back(pdu);
    if (m.sendError != 0) return {cmsError(m.sendError)};
    if (!s.radioOn || regView(s).stat == 0) return {cmsError(331)};
    std::string prefix = command == "^HCMGS" ? "^HCMGS: " : command == "$QCMGS" ? "$QCMGS: " : "+CMGS: ";
    return {prefix + std::to_string(s.nextSmsRef++), "OK"};
}

int storeSms(ModuleState &s, const std::string &pdu, int status) {
    SmsStore *st = store(s, s.sms.recvMem);
    int i = freeSlot(*st);
    if (i >= 0) st->slots[i] = StoredSms{status, pdu};
    return i;
}

std::vector<std::string> deliverSmsLines(ModuleState &s, const std::string &pdu, bool direct) {
    if (direct || s.sms.cnmiMt == 2) {
        if (s.sms.csms == 1) s.sms.unacked.push_back(pdu);
        return {"+CMT: ," + std::to_string(tpduLength(pdu)), pdu};
    }
    int i = storeSms(s, pdu, kRecUnread);
    if (i < 0) return {"^SMMEMFULL"};  // the message stays with the network
    return {"+CMTI: \"" + s.sms.recvMem + "\"," + std::to_string(i)};
}

std::vector<std::string> deliverCdmaSmsLines(ModuleState &, const std::string &address,
                                             const std::string &bearerHex, bool mms) {
    std::string head = std::string(mms ? "^MMS:" : "^HCMT:") + address + ",2026,11,10,12,34,56,0,1," +
                       std::to_string(bearerHex.size() / 2) + ",0,0,0";
    // the bearer data line ends with one more character
    return {head, bearerHex + "\x1a"};
}

std::vector<std::string> listStore(const ModuleState &s, const std::string &mem) {
    const SmsStore &st = mem == "ME" ? s.sms.me : s.sms.sm;
    std::vector<std::string> out;
    for (const auto &slot : st.slots)
        out.push_back(std::to_string(slot.first) + " " + std::to_string(slot.second.status) + " " + slot.second.pdu);
    return out;
}

std::vector<std::string> redeliverUnacked(ModuleState &s) {
    std::vector<std::string> out;
    for (const std::string &pdu : s.sms.unacked) {
        out.push_back("+CMT: ," + std::to_string(tpduLength(pdu)));
        out.push_back(pdu);
    }
    return out;
}

}  // namespace modemsim
