// USB modem discovery: finds the module's tty ports in the sysfs view of the
// option and cdc_acm drivers, tells the radio family and model from the USB
// ids, and publishes the port paths in globals and properties.
//
// A scan allocates nothing of its own: every path is built in a fixed
// 1024-byte buffer, every sysfs line is read into one, and a port name that
// would not fit the 128-byte port buffers (or a property value) is skipped.
#include "usb_discovery.h"

#include "ril_profile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ril_families.h"
#include "ril_log.h"

extern "C" {

char g_data_device_path[RIL_PORT_PATH_MAX];
char g_pcuidevice_path[RIL_PORT_PATH_MAX];
char g_diagdevice_path[RIL_PORT_PATH_MAX];
char g_gpsdevice_path[RIL_PORT_PATH_MAX];
int g_deviceexist = 0;
int g_moduletype = 1;
int s_port_layout = 0;
int g_use_rndis = 0;
int s_detected_cardtype = 0;
int s_lte_subtype = 0;

}  // extern "C"

namespace {

const size_t kPathMax = 1024;  // sysfs paths and lines

struct AcmProduct {
    const char *product;
    const char *modem;
    const char *diag;
    const char *at;
};

// "_" is no interface: it never matches a bInterfaceNumber line
const AcmProduct kAcmProducts[] = {
    {"2601", "00", "01", "02"}, {"1601", "00", "01", "02"}, {"1682", "00", "01", "02"},
    {"1605", "00", "01", "02"}, {"2606", "00", "01", "02"}, {"0196", "00", "_", "_"},
    {"361F", "00", "_", "_"},   {"3601", "00", "_", "_"},   {"9025", "00", "_", "_"},
    {"9020", "00", "_", "_"},   {"9059", "00", "_", "_"},
};

// dir + "/" + name (+ "/" + leaf) into buf; false when it does not fit
bool joinPath(char *buf, size_t len, const char *dir, const char *name, const char *leaf = nullptr) {
    int n = leaf != nullptr ? snprintf(buf, len, "%s/%s/%s", dir, name, leaf)
                            : snprintf(buf, len, "%s/%s", dir, name);
    if (n < 0 || (size_t)n >= len) {
        RILDEBUG("path too long, skipped: %.64s/%.64s...", dir, name);
        buf[0] = '\0';
        return false;
    }
    return true;
}

// The first line of a sysfs file (without its line end), at most len-1
// characters; a longer line is cut there and the rest is never read.
// false when the file cannot be opened.
bool readFirstLine(const char *path, char *buf, size_t len) {
    buf[0] = '\0';
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t off = 0;
    while (off + 1 < len) {
        ssize_t r = read(fd, buf + off, len - 1 - off);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        off += (size_t)r;
        if (memchr(buf + off - (size_t)r, '\n', (size_t)r) != nullptr) break;
    }
    close(fd);
    buf[off] = '\0';
    buf[strcspn(buf, "\r\n")] = '\0';
    return true;
}

bool containsAny(const char *line, const char *const *needles) {
    for (; *needles != nullptr; needles++)
        if (strstr(line, *needles) != nullptr) return true;
    return false;
}

// A tty name is usable when "/dev/" + name fits a port buffer and a
// property value; anything longer is no real device node.
bool portNameFits(const char *name) {
    const size_t limit = RIL_PORT_PATH_MAX < PROPERTY_VALUE_MAX ? RIL_PORT_PATH_MAX : PROPERTY_VALUE_MAX;
    if (strlen("/dev/") + strlen(name) < limit) return true;
    RIL_LOGE("port name too long, skipped: %.48s...", name);
    return false;
}

void setFamily(int family) {
    s_cardtype = family;
    s_detected_cardtype = family;
}

void setModem(const char *name) {
    char dev[PROPERTY_VALUE_MAX];
    snprintf(g_data_device_path, sizeof(g_data_device_path), "%s", name);
    snprintf(dev, sizeof(dev), "/dev/%s", name);
    property_set("ril.modem", dev);
    RILDEBUG("modem path is %s\n", g_data_device_path);
}

void setPcui(const char *name) {
    snprintf(g_pcuidevice_path, sizeof(g_pcuidevice_path), "/dev/%s", name);
    property_set("ril.pcui", g_pcuidevice_path);
    RILDEBUG("pcui path is %s\n", g_pcuidevice_path);
}

void setDiag(const char *name, bool bare) {
    snprintf(g_diagdevice_path, sizeof(g_diagdevice_path), bare ? "%s" : "/dev/%s", name);
    RILDEBUG("diag port is %s\n", g_diagdevice_path);
}

void setGps(const char *name) {
    snprintf(g_gpsdevice_path, sizeof(g_gpsdevice_path), "/dev/%s", name);
    property_set("ril.gps", g_gpsdevice_path);
    RILDEBUG("gps port is %s\n", g_gpsdevice_path);
}

// Family, model and layout from one interface's modalias line.
void classify(const char *line) {
    static const char *const kLteHints[] = {"36", "019", "9025", "9625", "9020", "9125", "9059", nullptr};
    static const char *const kLteProducts[] = {"361F", "3601", "0196", "9025", "9625",
                                               "9020", "9125", "9059", nullptr};
    if (strstr(line, "260") != nullptr) {
        setFamily(RIL_FAMILY_WCDMA);
        property_set("ril.phonetype", "1");
        if (strstr(line, "2601") != nullptr) {
            g_moduletype = 1;
            RILDEBUG("  is a 6290 module  ");
        }
    } else if (strstr(line, "1286") != nullptr) {
        setFamily(RIL_FAMILY_LTE);
        g_moduletype = 5;
        s_port_layout = 3;
        RILDEBUG("  is ASR lte module  ");
    } else if (RIL_VERSION < 15 && (strstr(line, "p1404") != nullptr || strstr(line, "p1C25") != nullptr)) {
        // the legacy build knows these two LTE modules; their ports are laid
        // out as the generic ones
        setFamily(RIL_FAMILY_LTE);
        g_moduletype = 3;
        s_lte_subtype = 4;
        RILDEBUG("  is   a 1404 lte module  ");
    } else if (containsAny(line, kLteHints)) {
        if (!containsAny(line, kLteProducts)) return;  // "36" or "019" alone: left as it was
        setFamily(RIL_FAMILY_LTE);
        g_moduletype = 3;
        RILDEBUG("  is   a lte module  ");
        if (strstr(line, "9125") != nullptr) {
            s_port_layout = 2;
        } else if (strstr(line, "p9025") != nullptr || strstr(line, "p9625") != nullptr) {
            s_port_layout = 1;
        } else if (strstr(line, "p9020") != nullptr) {
            s_port_layout = 1;
            g_moduletype = 4;
            RILDEBUG("  is a 8909 module  ");
        } else if (strstr(line, "9059") != nullptr) {
            s_port_layout = 1;
            g_use_rndis = 1;
        }
    } else {
        setFamily(RIL_FAMILY_CDMA);
        g_moduletype = 2;
        property_set("ril.phonetype", "2");
    }
}

const int kStop = -1;

// The role of one ttyUSB entry of an option interface; returns the new
// result, or kStop after a row that ends the interface (result is then 5).
int assignOptionPort(const char *tty, const char *number, const char *protocol, bool vendorSpecific,
                     int *result) {
    if (vendorSpecific) {
        if (strstr(number, "00") != nullptr) {
            setModem(tty);
            *result |= 1;
        } else if (strstr(number, "02") != nullptr) {
            setPcui(tty);
            g_deviceexist = 1;
            *result |= 2;
        } else if (strstr(number, "01") != nullptr) {
            setDiag(tty, false);
            *result |= 4;
        }
        return 0;
    }
    switch (s_port_layout) {
    case 3:
        RIL_LOGD("%s", number);
        if (strstr(number, "02") != nullptr) {
            setDiag(tty, true);
            g_deviceexist = 1;
            *result |= 2;
        } else if (strstr(number, "03") != nullptr) {
            setPcui(tty);
            *result |= 4;
        } else if (strstr(number, "04") != nullptr) {
            setModem(tty);
            *result = 5;
            return kStop;
        }
        return 0;
    case 2:
        RIL_LOGD("%s", number);
        if (strstr(number, "02") != nullptr) {
            setModem(tty);
            g_deviceexist = 1;
            *result |= 2;
        } else if (strstr(number, "03") != nullptr) {
            setGps(tty);
            *result |= 4;
        } else if (strstr(number, "04") != nullptr) {
            setPcui(tty);
            *result = 5;
            return kStop;
        }
        return 0;
    case 1:
        RIL_LOGD("%s", number);
        if (strstr(number, "02") != nullptr) {
            setModem(tty);
            g_deviceexist = 1;
            *result |= 2;
        } else if (strstr(number, "03") != nullptr) {
            setPcui(tty);
            *result = 5;
            return kStop;
        }
        return 0;
    default:
        if (strstr(number, "00") != nullptr) {
            setModem(tty);
            *result |= 1;
        } else if (strstr(number, "02") != nullptr) {
            setPcui(tty);
            g_deviceexist = 1;
            *result |= 2;
        } else if (strstr(number, "03") != nullptr) {
            setDiag(tty, false);
            *result |= 4;
        } else if (ril_module_profile()->unknownPortsByProtocol) {
            RILDEBUG("----(unkonwn)The port interface is --%s--", number);
            if (strstr(protocol, "00") != nullptr) {
                setPcui(tty);
                g_deviceexist = 1;
                *result = 5;
                return kStop;
            }
        }
        return 0;
    }
}

// The option driver: classification and the role tables. Returns the
// result, or -1 when the driver directory cannot be opened.
int scanOption(void) {
    char dirPath[kPathMax];
    DIR *usbdir = nullptr;
    if (RIL_SYSPATH("/sys/bus/usb/drivers/option", dirPath) != nullptr) usbdir = opendir(dirPath);
    if (usbdir == nullptr) {
        RILDEBUG("usbdir NULL");
        return -1;
    }
    int result = 0;
    char path[kPathMax];
    char line[kPathMax];
    char number[kPathMax];
    // an unreadable bInterfaceProtocol keeps the previous interface's answer
    char protocol[kPathMax] = "";
    bool vendorSpecific = false;

    struct dirent *entry;
    while ((entry = readdir(usbdir)) != nullptr) {
        if (strchr(entry->d_name, ':') == nullptr) continue;
        if (!joinPath(path, sizeof(path), dirPath, entry->d_name, "modalias") ||
            !readFirstLine(path, line, sizeof(line)))
            continue;
        if (strstr(line, "05C6") == nullptr && strstr(line, "257A") == nullptr &&
            strstr(line, "1286") == nullptr && !(RIL_VERSION < 15 && strstr(line, "12D1") != nullptr))
            continue;
        classify(line);

        if (joinPath(path, sizeof(path), dirPath, entry->d_name, "bInterfaceProtocol") &&
            readFirstLine(path, line, sizeof(line))) {
            snprintf(protocol, sizeof(protocol), "%s", line);
            vendorSpecific = strstr(protocol, "ff") != nullptr;
        }
        RILDEBUG("interface type: %d", vendorSpecific ? 0 : 1);

        if (!joinPath(path, sizeof(path), dirPath, entry->d_name, "bInterfaceNumber") ||
            !readFirstLine(path, number, sizeof(number)))
            continue;
        if (!joinPath(path, sizeof(path), dirPath, entry->d_name)) continue;
        DIR *ifdir = opendir(path);
        if (ifdir == nullptr) continue;
        struct dirent *port;
        while ((port = readdir(ifdir)) != nullptr) {
            if (strstr(port->d_name, "ttyUSB") == nullptr) continue;
            if (!portNameFits(port->d_name)) continue;
            if (assignOptionPort(port->d_name, number, protocol, vendorSpecific, &result) == kStop) break;
        }
        closedir(ifdir);
    }
    closedir(usbdir);
    return result;
}

// The cdc_acm driver: roles from the product table, no classification.
// Returns the result, or -1 when the driver directory cannot be opened.
int scanCdcAcm(void) {
    char dirPath[kPathMax];
    DIR *acmdir = nullptr;
    if (RIL_SYSPATH("/sys/bus/usb/drivers/cdc_acm", dirPath) != nullptr) acmdir = opendir(dirPath);
    if (acmdir == nullptr) return -1;
    int result = 0;
    char path[kPathMax];
    char line[kPathMax];
    char number[kPathMax];
    char ttyPath[kPathMax];

    struct dirent *entry;
    while ((entry = readdir(acmdir)) != nullptr) {
        if (strchr(entry->d_name, ':') == nullptr) continue;
        if (!joinPath(path, sizeof(path), dirPath, entry->d_name, "modalias") ||
            !readFirstLine(path, line, sizeof(line)))
            continue;
        for (const AcmProduct &rec : kAcmProducts) {
            if (strstr(line, rec.product) == nullptr) continue;
            if (!joinPath(path, sizeof(path), dirPath, entry->d_name, "bInterfaceNumber") ||
                !readFirstLine(path, number, sizeof(number)))
                continue;
            if (!joinPath(path, sizeof(path), dirPath, entry->d_name) ||
                !joinPath(ttyPath, sizeof(ttyPath), path, "tty"))
                continue;
            DIR *ifdir = opendir(path);
            if (ifdir == nullptr) continue;
            struct dirent *sub;
            while ((sub = readdir(ifdir)) != nullptr) {
                if (strstr(sub->d_name, "tty") == nullptr) continue;
                DIR *ttydir = opendir(ttyPath);
                if (ttydir == nullptr) continue;
                struct dirent *tty;
                while ((tty = readdir(ttydir)) != nullptr) {
                    if (strstr(tty->d_name, "ttyACM") == nullptr) continue;
                    if (!portNameFits(tty->d_name)) continue;
                    if (strcmp(number, rec.modem) == 0) {
                        setModem(tty->d_name);
                        g_deviceexist = 1;
                        result |= 1;
                    } else if (strcmp(number, rec.diag) == 0) {
                        setDiag(tty->d_name, false);
                        result |= 2;
                    } else if (strcmp(number, rec.at) == 0) {
                        setPcui(tty->d_name);
                        result |= 4;
                    }
                }
                closedir(ttydir);
            }
            closedir(ifdir);
        }
    }
    closedir(acmdir);
    return result;
}

}  // namespace

extern "C" int HandleDeviceHotPlugin(void) {
    g_deviceexist = 0;
    RILDEBUG("In the HandleDeviceHotPlugin");
    int result = scanOption();
    if (result < 0) {
        g_deviceexist = 0;
        return 0;
    }
    if (result != 0) {
        RILDEBUG("ret=%d in line %d", result, __LINE__);
        return result;
    }
    result = scanCdcAcm();
    if (result < 0) {
        g_deviceexist = 0;
        return 0;
    }
    RILDEBUG("end_ret=%d", result);
    return result;
}

extern "C" int HandleDeviceHotPlug(void) { return 0; }

#if RIL_VERSION >= 15
extern "C" int TestDeviceExists(void) { return 1; }
#else
// 0 only when the modem port's device file is gone
extern "C" int TestDeviceExists(void) {
    char name[RIL_PORT_PATH_MAX + 8];
    snprintf(name, sizeof(name), "/dev/%s", g_data_device_path);
    char path[RIL_PORT_PATH_MAX + 256];
    int fd = -1;
    int err = ENOENT;
    if (RIL_SYSPATH(name, path) != nullptr) {
        fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        err = fd < 0 ? errno : 0;
    }
    int nresult = (fd < 0 && err == ENOENT) ? 0 : 1;
    RILDEBUG("TestDeviceExists() : %d, %d, %s.  nresult: %d ", fd, err, name, nresult);
    if (fd >= 0) close(fd);
    return nresult;
}
#endif

extern "C" int IsATPort(const char *devicePath) {
    char path[kPathMax];
    if (devicePath == nullptr || RIL_SYSPATH(devicePath, path) == nullptr) return 0;
    // non-blocking: a port that stays silent must not hold the caller
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 1) {
        if (fd == 0) close(fd);
        return 0;
    }
    const char probe[] = "AT\r\n";
    ssize_t w = write(fd, probe, sizeof(probe) - 1);
    (void)w;
    sleepMsec(1000);
    char reply[257];
    ssize_t r;
    do {
        r = read(fd, reply, sizeof(reply) - 1);
    } while (r < 0 && errno == EINTR);
    close(fd);
    if (r <= 0) return 0;
    reply[r] = '\0';
    return strstr(reply, "OK") != nullptr ? 1 : 0;
}
