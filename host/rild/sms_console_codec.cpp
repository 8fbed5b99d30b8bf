#include "sms_console_codec.h"

#include <vector>

#include "sms_codec.h"

namespace hostrild {

namespace {

std::string hex(const std::vector<unsigned char> &b) {
    std::vector<char> out(2 * b.size() + 1);
    BytesToHexstring(b.data(), out.data(), static_cast<int>(b.size()));
    return out.data();
}

bool isDigits(const std::string &s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// semi-octets, low digit first, F filling an odd count
void putBcd(std::vector<unsigned char> &out, const std::string &digits) {
    for (size_t i = 0; i < digits.size(); i += 2) {
        int lo = digits[i] - '0';
        int hi = i + 1 < digits.size() ? digits[i + 1] - '0' : 0xF;
        out.push_back(static_cast<unsigned char>(hi << 4 | lo));
    }
}

std::string bcdDigits(const unsigned char *b, size_t octets, size_t count) {
    std::string s;
    for (size_t i = 0; i < octets && s.size() < count; i++) {
        int lo = b[i] & 0xF, hi = b[i] >> 4;
        if (lo <= 9) s += static_cast<char>('0' + lo);
        if (s.size() < count && hi <= 9) s += static_cast<char>('0' + hi);
    }
    return s;
}

}  // namespace

bool isNumberAndText(const std::string &first, const std::string &second) {
    if (first.size() > 1 && first[0] == '+') return isDigits(first.substr(1));
    if (!isDigits(first)) return false;
    bool hexText = !second.empty() && second.size() % 2 == 0;
    for (char c : second)
        hexText = hexText && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'));
    return !hexText;
}

bool smsSubmitFromText(const std::string &number, const std::string &text, std::string *tpdu,
                       std::string *error) {
    bool intl = !number.empty() && number[0] == '+';
    std::string digits = intl ? number.substr(1) : number;
    if (!isDigits(digits) || digits.size() > 20) {
        *error = "the number is \"+\" and up to 20 digits";
        return false;
    }
    std::vector<unsigned short> units(text.size() + 1);
    int nu = Utf8ToUnicode(reinterpret_cast<const unsigned char *>(text.data()), units.data(),
                           static_cast<int>(text.size()));
    bool gsm = true;
    for (int i = 0; i < nu; i++) gsm = gsm && GSM_7BitAlphabet(units[static_cast<size_t>(i)]) && units[i] != 0xFFFF;
    std::vector<unsigned char> pdu = {0x11, 0x00, static_cast<unsigned char>(digits.size()),
                                      static_cast<unsigned char>(intl ? 0x91 : 0x81)};
    putBcd(pdu, digits);
    pdu.push_back(0x00);              // protocol
    pdu.push_back(gsm ? 0x00 : 0x08);  // default alphabet or UCS-2
    pdu.push_back(0xAA);              // valid four days
    if (gsm) {
        std::vector<unsigned char> septets(2 * static_cast<size_t>(nu) + 1);
        int ns = UnicodeToGsm7bit(units.data(), septets.data(), nu);
        if (ns > 160) {
            *error = "the text is longer than 160 characters";
            return false;
        }
        std::vector<unsigned char> packed((7 * static_cast<size_t>(ns) + 7) / 8 + 1);
        int no = CompressGsm7bit(septets.data(), packed.data(), ns);
        pdu.push_back(static_cast<unsigned char>(ns));
        pdu.insert(pdu.end(), packed.begin(), packed.begin() + no);
    } else {
        if (nu > 70) {
            *error = "the text is longer than 70 characters";
            return false;
        }
        std::vector<unsigned char> be(2 * static_cast<size_t>(nu) + 1);
        int nb = WidecharToByte(units.data(), be.data(), nu);
        pdu.push_back(static_cast<unsigned char>(nb));
        pdu.insert(pdu.end(), be.begin(), be.begin() + nb);
    }
    *tpdu = hex(pdu);
    return true;
}

nlohmann::json decodeSmsDeliver(const std::string &text) {
    nlohmann::json out = {{"pdu", text}};
    std::vector<unsigned char> b(text.size() / 2 + 1);
    int n = hexStringToBytes(text.c_str(), b.data(), static_cast<int>(b.size()));
    if (n < 2 || text.size() % 2 != 0) return out;
    size_t len = static_cast<size_t>(n), p = 0;
    size_t smscLen = b[p++];
    if (p + smscLen >= len) return out;
    std::string smsc;
    if (smscLen > 1) smsc = (b[p] == 0x91 ? "+" : "") + bcdDigits(&b[p + 1], smscLen - 1, 2 * (smscLen - 1));
    p += smscLen;
    unsigned first = b[p++];
    if ((first & 3) != 0) return out;  // not a DELIVER
    if (p + 2 > len) return out;
    size_t digits = b[p++];
    unsigned toa = b[p++];
    size_t addrOctets = (digits + 1) / 2;
    if ((toa & 0x70) == 0x50 || p + addrOctets + 9 > len) return out;  // alphanumeric senders are left as they are
    std::string from = (toa == 0x91 ? "+" : "") + bcdDigits(&b[p], addrOctets, digits);
    p += addrOctets;
    p++;  // protocol
    unsigned dcs = b[p++];
    const unsigned char *ts = &b[p];
    p += 7;
    char when[32];
    auto semi = [](unsigned char x) { return (x & 0xF) * 10 + (x >> 4); };
    snprintf(when, sizeof when, "20%02d-%02d-%02d %02d:%02d:%02d", semi(ts[0]), semi(ts[1]), semi(ts[2]),
             semi(ts[3]), semi(ts[4]), semi(ts[5]));
    size_t udl = b[p++];
    size_t rest = len - p;
    std::string body;
    if ((dcs & 0x0C) == 0x08) {  // UCS-2
        size_t octets = udl < rest ? udl : rest;
        std::vector<unsigned short> u(octets / 2 + 1);
        int nu = BytesToWidechar(&b[p], u.data(), static_cast<int>(octets));
        std::vector<unsigned char> utf(3 * static_cast<size_t>(nu) + 1);
        int nb = UnicodeToUtf8(u.data(), utf.data(), nu);
        body.assign(reinterpret_cast<char *>(utf.data()), static_cast<size_t>(nb));
    } else if ((dcs & 0x0C) == 0x00) {  // default alphabet
        std::vector<unsigned char> sep(rest + rest / 7 + 1);
        int ns = UncompressGsm7bit(&b[p], sep.data(), static_cast<int>(rest));
        int count = static_cast<int>(udl) < ns ? static_cast<int>(udl) : ns;
        std::vector<unsigned short> u(static_cast<size_t>(count) + 1);
        int nu = Gsm7bitToUnicode(sep.data(), u.data(), count);
        std::vector<unsigned char> utf(3 * static_cast<size_t>(nu) + 1);
        int nb = UnicodeToUtf8(u.data(), utf.data(), nu);
        body.assign(reinterpret_cast<char *>(utf.data()), static_cast<size_t>(nb));
    } else {
        return out;  // 8-bit data: the PDU says it all
    }
    out["smsc"] = smsc;
    out["from"] = from;
    out["time"] = when;
    out["text"] = body;
    return out;
}

}  // namespace hostrild
