// The AT channel: one reader thread cuts the port's byte stream into lines
// and sorts them (final result of the pending command, part of its reply, or
// unsolicited); senders write one command at a time and block until its
// final line, a time-out or the loss of the port.
#include "at_link.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <new>

#include "at_reply.h"
#include "ril_log.h"
#include "ril_thread_annotations.h"

extern "C" {
int g_ntimeoutcount = 0;
const char *arr_add_header[7] = {"+CIMI:", "+QCIMI:", "+CGSN:", "+CGMR:",
                                 "^MEID:", "+CSQ:",   "+CIMIM:"};
}

namespace {

constexpr size_t MAX_AT_RESPONSE = 8192;
constexpr size_t REPAIR_BUFFER = 128;
constexpr int MAX_ZERO_WRITES = 1000;

const char *const s_finalResponsesSuccess[] = {"OK", "CONNECT"};
const char *const s_finalResponsesError[] = {"ERROR", "+CMS ERROR:", "+CME ERROR:", "NO ANSWER",
                                             "NO DIALTONE"};
// "$QCMT:" (LTE modules in Qualcomm command mode) carries its PDU on the next line too
const char *const s_smsUnsoliciteds[] = {"+CMT:", "+CDS:", "+CBM:", "^HCMT:", "^MMS:", "$QCMT:"};
const char *const s_smsReadReplies[] = {"+CMGR:", "+CMGL:", "^HCMGR:", "$QCMGL:", "^HCMGL:"};

template <size_t N>
bool startsWithAny(const char *line, const char *const (&table)[N]) {
    for (const char *p : table) {
        if (strStartsWith(line, p)) return true;
    }
    return false;
}

// One reader: its own descriptor (a duplicate of the port, so a closed and
// reused descriptor number never reaches an old reader), the wake pipe that
// at_close uses to end it, and the line buffer.
struct Reader {
    int fd = -1;
    int wakeFd = -1;
    unsigned gen = 0;
    char buf[MAX_AT_RESPONSE + 1];
    char *cur = nullptr;  // start of unread data
    char *end = nullptr;  // end of buffered data (always points at a zero)
    // memory source used by the fuzz/test hook instead of the port
    const char *mem = nullptr;
    size_t memLen = 0;
    size_t memPos = 0;
    size_t memChunk = 0;
};

ril_mutex_t s_commandmutex;
pthread_cond_t s_commandcond;
pthread_once_t s_initOnce = PTHREAD_ONCE_INIT;

int s_fd = -1;
int s_wakeWr = -1;          // write end of the current reader's wake pipe
unsigned s_gen = 0;         // channel generation, bumped by at_open/at_close
int s_readerClosed = 1;
pthread_t s_tid_reader;
ATUnsolHandler s_unsolHandler = nullptr;
void (*s_onTimeout)(void) = nullptr;
void (*s_onReaderClosed)(void) = nullptr;

// pending command
AtReply *sp_response RIL_GUARDED_BY(s_commandmutex) = nullptr;
const char *s_smsPDU RIL_GUARDED_BY(s_commandmutex) = nullptr;
const char *s_responsePrefix RIL_GUARDED_BY(s_commandmutex) = nullptr;
const char *s_commandText RIL_GUARDED_BY(s_commandmutex) = nullptr;
int s_type RIL_GUARDED_BY(s_commandmutex) = NO_RESULT;  // kept as a plain number: an unknown kind must stay representable

thread_local bool t_isReader = false;
thread_local int t_holdsMutex = 0;

void initLocks() {
    pthread_mutex_init(&s_commandmutex, nullptr);
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&s_commandcond, &attr);
    pthread_condattr_destroy(&attr);
}

// Takes the command mutex unless this thread already holds it (the
// unsolicited handler runs with it held), so nothing here can deadlock on
// itself.
class RIL_SCOPED_CAPABILITY CmdLock {
public:
    CmdLock() RIL_ACQUIRE(s_commandmutex) RIL_NO_THREAD_SAFETY_ANALYSIS {
        pthread_once(&s_initOnce, initLocks);
        if (t_holdsMutex == 0) pthread_mutex_lock(&s_commandmutex);
        t_holdsMutex++;
    }
    ~CmdLock() RIL_RELEASE() RIL_NO_THREAD_SAFETY_ANALYSIS {
        if (--t_holdsMutex == 0) pthread_mutex_unlock(&s_commandmutex);
    }
    CmdLock(const CmdLock &) = delete;
    CmdLock &operator=(const CmdLock &) = delete;
};

void callUnsol(const char *line, const char *body) {
    if (s_unsolHandler != nullptr) s_unsolHandler(line, body);
}

void addIntermediate(const char *line) RIL_REQUIRES(s_commandmutex) {
    if (sp_response == nullptr) return;
    ReplyLine *p = (ReplyLine *)calloc(1, sizeof(ReplyLine));
    if (p == nullptr) return;
    p->line = strdup(line);
    if (p->line == nullptr) {
        free(p);
        return;
    }
    // pushed at the head; reversed when the command completes
    p->p_next = sp_response->p_intermediates;
    sp_response->p_intermediates = p;
}

void handleFinalResponse(const char *line, int success) RIL_REQUIRES(s_commandmutex) {
    if (sp_response == nullptr) return;
    sp_response->success = success;
    free(sp_response->finalResponse);
    sp_response->finalResponse = strdup(line);
    pthread_cond_broadcast(&s_commandcond);
}

// Writes all bytes; zero-byte writes are retried a bounded number of times.
int writeAll(int fd, const char *data, size_t len) {
    size_t off = 0;
    int zeros = 0;
    while (off < len) {
        ssize_t w = write(fd, data + off, len - off);
        if (w < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (w == 0) {
            if (++zeros > MAX_ZERO_WRITES) return -1;
            continue;
        }
        off += (size_t)w;
    }
    return 0;
}

void writePduAtPrompt(Reader *r) RIL_REQUIRES(s_commandmutex) {
    if (r->fd < 0 || s_fd < 0 || s_readerClosed != 0) {
        s_smsPDU = nullptr;
        return;
    }
    RILDEBUG("pdu support");
    if (writeAll(r->fd, s_smsPDU, strlen(s_smsPDU)) == 0) {
        RILDEBUG("Begin to write Ctrl ^Z");
        static const char ctrlZ = 0x1A;
        writeAll(r->fd, &ctrlZ, 1);
    }
    s_smsPDU = nullptr;
}

// Notifications the module sends on its own; none of them can be the answer
// of a query whose prefix has a repair entry.
const char *const kNotifications[] = {
    "+CMTI:", "+CMT:",   "+CDS:",  "+CDSI:", "+CBM:",  "+CRING:", "+CLIP:", "+CCWA:",  "+CREG:",
    "+CGREG:", "+CEREG:", "+CUSD:", "+CGEV:", "+CSSI:", "+CSSU:",  "^RSSI:", "^MODE:",  "^SRVST:",
    "^SIMST:", "^BOOT:",  "^CEND:", "^ORIG:", "^CONF:", "^CONN:",  "^HCMT:", "^HCDS:",  "^MMS:",
    "^DSFLOWRPT:", "^NDISSTAT:", "^STIN:", "+STIN:", "^SMMEMFULL:",
};

bool isNotification(const char *line) {
    for (const char *n : kNotifications)
        if (strStartsWith(line, n)) return true;
    return false;
}

void storeSingleLine(const char *line) RIL_REQUIRES(s_commandmutex) {
    const char *prefix = s_responsePrefix;
    if (prefix == nullptr) return;  // a single-line command without prefix ignores the line
    const char *header = nullptr;
    for (const char *h : arr_add_header) {
        if (strStartsWith(prefix, h)) {
            header = h;
            RILDEBUG("isAddHeader %s", prefix);
            break;
        }
    }
    bool hasLine = sp_response->p_intermediates != nullptr;
    bool matches = strStartsWith(line, prefix) != 0;
    // a notification ("+CMTI: ...", "^MODE: ...") arriving before the answer
    // is never the answer, repair entry or not: taken as the answer it would
    // lose the notification and the real answer after it
    bool notification = !matches && header != nullptr && isNotification(line);
    if (hasLine || (!matches && header == nullptr) || notification || strstr(line, "SMS DONE") != nullptr) {
        callUnsol(line, nullptr);
        return;
    }
    if (header == nullptr) {
        addIntermediate(line);
        return;
    }
    RILDEBUG("add prefix :%s", line);
    char fixed[REPAIR_BUFFER];
    if (strncmp(line, "+csq:", 5) == 0) {
        snprintf(fixed, sizeof(fixed), "+CSQ:%s", line + 5);
        addIntermediate(fixed);
    } else if (matches || strchr(line, '^') != nullptr || strchr(line, '+') != nullptr) {
        addIntermediate(line);
    } else {
        snprintf(fixed, sizeof(fixed), "%s%s", header, line);
        addIntermediate(fixed);
    }
}

// One line, under the command mutex.
void processLine(Reader *r, const char *line) {
    CmdLock lock;
    if (r->gen != s_gen) return;  // this reader belongs to a closed channel
    // once the pending command has its final line, whatever arrives before
    // its sender wakes is unsolicited: the first final line stays the result
    if (sp_response == nullptr || sp_response->finalResponse != nullptr) {
        callUnsol(line, nullptr);
    } else if (startsWithAny(line, s_finalResponsesSuccess)) {
        handleFinalResponse(line, 1);
    } else if (startsWithAny(line, s_finalResponsesError)) {
        handleFinalResponse(line, 0);
    } else if (strStartsWith(line, "+CUSD") && s_commandText != nullptr &&
               (strstr(s_commandText, "+CCWA") != nullptr ||
                strstr(s_commandText, "+CCFC") != nullptr)) {
        handleFinalResponse(line, 0);
    } else if (s_smsPDU != nullptr && strcmp(line, "> ") == 0) {
        writePduAtPrompt(r);
    } else {
        switch (s_type) {
            case NO_RESULT:
                if (sp_response->p_intermediates == nullptr) addIntermediate(line);
                callUnsol(line, nullptr);
                break;
            case NUMERIC:
                if (sp_response->p_intermediates == nullptr && line[0] >= '0' && line[0] <= '9') {
                    addIntermediate(line);
                } else {
                    callUnsol(line, nullptr);
                }
                break;
            case SINGLELINE:
                storeSingleLine(line);
                break;
            case MULTILINE:
                AT_LOGE("In the MULTILINE");
                if (s_responsePrefix != nullptr && strStartsWith(line, s_responsePrefix)) {
                    addIntermediate(line);
                } else {
                    callUnsol(line, nullptr);
                }
                break;
            default:
                RILDEBUG("Unsupported AT command type %d\n", s_type);
                callUnsol(line, nullptr);
                break;
        }
    }
}

// The body line after an SMS read reply belongs to the pending command.
void appendBody(Reader *r, const char *line) {
    CmdLock lock;
    if (r->gen != s_gen) return;
    if (sp_response == nullptr || sp_response->finalResponse != nullptr) {
        RILDEBUG("sms body without a pending command dropped");
        return;
    }
    addIntermediate(line);
}

char *findNextEOL(char *cur) {
    if (cur[0] == '>' && cur[1] == ' ' && cur[2] == '\0') return cur + 2;  // SMS prompt
    while (*cur != '\0' && *cur != '\r' && *cur != '\n') cur++;
    return *cur == '\0' ? nullptr : cur;
}

void skipLineEnds(Reader *r) {
    while (*r->cur == '\r' || *r->cur == '\n') r->cur++;
}

// Reads from the port (or the memory source); 0 at end of file, -1 on error
// or when the channel is being closed.
ssize_t readSome(Reader *r, char *dst, size_t room) {
    if (r->mem != nullptr || r->fd < 0) {
        if (r->memPos >= r->memLen) return 0;
        size_t n = r->memLen - r->memPos;
        if (r->memChunk > 0 && n > r->memChunk) n = r->memChunk;
        if (n > room) n = room;
        memcpy(dst, r->mem + r->memPos, n);
        r->memPos += n;
        return (ssize_t)n;
    }
    for (;;) {
        struct pollfd fds[2];
        fds[0].fd = r->fd;
        fds[0].events = POLLIN;
        fds[0].revents = 0;
        fds[1].fd = r->wakeFd;
        fds[1].events = POLLIN;
        fds[1].revents = 0;
        int n = poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (fds[1].revents != 0) {
            errno = ECANCELED;
            return -1;
        }
        if (fds[0].revents == 0) continue;
        ssize_t count;
        do {
            count = read(r->fd, dst, room);
        } while (count < 0 && errno == EINTR);
        return count;
    }
}

// Returns the next line (inside the reader's buffer, valid until the next
// call), or NULL when the reader must end.
const char *readline(Reader *r) {
    char *eol = nullptr;
    if (r->cur != nullptr && *r->cur != '\0') {
        skipLineEnds(r);
        eol = findNextEOL(r->cur);
    } else {
        r->cur = r->buf;
        r->end = r->buf;
        r->buf[0] = '\0';
    }
    if (eol == nullptr) {
        size_t len = (size_t)(r->end - r->cur);
        memmove(r->buf, r->cur, len + 1);
        r->cur = r->buf;
        r->end = r->buf + len;
    }
    while (eol == nullptr) {
        if ((size_t)(r->end - r->buf) >= MAX_AT_RESPONSE) {
            AT_LOGE("ERROR: Input line exceeded buffer\n");
            r->cur = r->buf;
            r->end = r->buf;
            r->buf[0] = '\0';
        }
        size_t room = MAX_AT_RESPONSE - (size_t)(r->end - r->buf);
        ssize_t count = readSome(r, r->end, room);
        if (count < 0) {
            if (errno != ECANCELED) RILDEBUG("atchannel: read error %s", strerror(errno));
            return nullptr;
        }
        if (count == 0) {
            RILDEBUG("atchannel: EOF reached");
            return nullptr;
        }
        // a zero byte from the module would hide the rest of the data; drop it
        char *w = r->end;
        for (ssize_t i = 0; i < count; i++) {
            if (r->end[i] != '\0') *w++ = r->end[i];
        }
        r->end = w;
        *r->end = '\0';
        skipLineEnds(r);
        eol = findNextEOL(r->cur);
    }
    char *line = r->cur;
    if (*eol == '\0') {
        r->cur = eol;  // the prompt carries no line end
    } else {
        *eol = '\0';
        r->cur = eol + 1;
    }
    RILDEBUG("AT< %s", line);
    return line;
}

void readerLoop(Reader *r) {
    for (;;) {
        const char *line = readline(r);
        if (line == nullptr) break;
        if (startsWithAny(line, s_smsUnsoliciteds)) {
            // the body read may move the buffer: keep the first line
            char *head = strdup(line);
            if (head == nullptr) break;
            const char *body = readline(r);
            if (body == nullptr) {
                free(head);
                break;
            }
            bool current;
            {
                CmdLock lock;
                current = r->gen == s_gen;
            }
            if (current) callUnsol(head, body);
            free(head);
        } else if (startsWithAny(line, s_smsReadReplies)) {
            processLine(r, line);
            const char *body = readline(r);
            if (body == nullptr) break;
            // an empty slot answers the header with the final line at once:
            // that line ends the command, it is no body
            if (startsWithAny(body, s_finalResponsesSuccess) || startsWithAny(body, s_finalResponsesError))
                processLine(r, body);
            else
                appendBody(r, body);
        } else {
            processLine(r, line);
        }
    }
}

void readerEnded(Reader *r) {
    void (*cb)(void) = nullptr;
    {
        CmdLock lock;
        if (r->gen == s_gen && s_readerClosed == 0) {
            // a waiting sender wakes and every later send returns -3, even
            // when nobody listens for the closing
            s_readerClosed = 1;
            pthread_cond_broadcast(&s_commandcond);
            cb = s_onReaderClosed;
        }
    }
    if (cb != nullptr) cb();
}

void *readerThread(void *arg) {
    Reader *r = (Reader *)arg;
    t_isReader = true;
    readerLoop(r);
    readerEnded(r);
    if (r->fd >= 0) close(r->fd);
    if (r->wakeFd >= 0) close(r->wakeFd);
    delete r;
    return nullptr;
}

void reverseIntermediates(AtReply *p) {
    ReplyLine *prev = nullptr;
    ReplyLine *cur = p->p_intermediates;
    while (cur != nullptr) {
        ReplyLine *next = cur->p_next;
        cur->p_next = prev;
        prev = cur;
        cur = next;
    }
    p->p_intermediates = prev;
}

void clearPending() RIL_REQUIRES(s_commandmutex) {
    at_response_free(sp_response);
    sp_response = nullptr;
    s_responsePrefix = nullptr;
    s_smsPDU = nullptr;
    s_commandText = nullptr;
}

int writeCommand(const char *s) {
    if (s_fd < 0 || s_readerClosed > 0) return AT_ERROR_CHANNEL_CLOSED;
    RILDEBUG("AT> %s", s);
    // command and carriage return leave in one write
    size_t len = strlen(s);
    struct iovec iov[2];
    iov[0].iov_base = const_cast<char *>(s);
    iov[0].iov_len = len;
    iov[1].iov_base = const_cast<char *>("\r");
    iov[1].iov_len = 1;
    ssize_t w;
    do {
        w = writev(s_fd, iov, 2);
    } while (w < 0 && errno == EINTR);
    if (w < 0) return AT_ERROR_GENERIC;
    if ((size_t)w == len + 1) return 0;
    // short write: finish byte-wise
    if ((size_t)w < len) {
        if (writeAll(s_fd, s + w, len - (size_t)w) < 0) return AT_ERROR_GENERIC;
    }
    return writeAll(s_fd, "\r", 1) < 0 ? AT_ERROR_GENERIC : 0;
}

long long chooseTimeout(const char *command, long long timeoutMsec) {
    if (timeoutMsec == 0) timeoutMsec = strstr(command, "COPS") != nullptr ? 100000 : 30000;
    if (strstr(command, "CLCC") != nullptr || strstr(command, "ATE0") != nullptr ||
        strstr(command, "CMUT") != nullptr || strstr(command, "MODECONFIG") != nullptr ||
        (RIL_VERSION < 15 && strstr(command, "CFUN") != nullptr)) {
        timeoutMsec = 1000;
    }
    return timeoutMsec;
}

// The absolute time timeoutMsec (scaled) from now on the monotonic clock.
struct timespec deadlineIn(long long timeoutMsec) {
    struct timespec deadline = {0, 0};
    // the host clock may run faster: the real wait is scaled down
    long long ns = timeoutMsec * 1000000LL / ril_time_scale();
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += (time_t)(ns / 1000000000LL);
    deadline.tv_nsec += (long)(ns % 1000000000LL);
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

// Senders that found the channel busy, in arrival order (nodes live on the
// waiting senders' stacks).
struct Waiter {
    Waiter *next = nullptr;
};
Waiter *s_waitHead = nullptr;
Waiter *s_waitTail = nullptr;

void leaveQueue(Waiter *w) {
    Waiter **pp = &s_waitHead;
    Waiter *prev = nullptr;
    while (*pp != nullptr && *pp != w) {
        prev = *pp;
        pp = &(*pp)->next;
    }
    if (*pp == nullptr) return;
    *pp = w->next;
    if (s_waitTail == w) s_waitTail = prev;
    // the next in line may be free to go now
    pthread_cond_broadcast(&s_commandcond);
}

// Waits, in arrival order, until no command is pending; the channel closing
// ends the wait (the write then fails with -3). Returns -2 when the deadline
// passes first.
int waitForTurn(long long timeoutMsec) RIL_REQUIRES(s_commandmutex) {
    if (sp_response == nullptr && s_waitHead == nullptr) return 0;
    Waiter me;
    RILDEBUG("AT channel busy: waiting for %s", s_commandText != nullptr ? s_commandText : "a command");
    if (s_waitTail != nullptr)
        s_waitTail->next = &me;
    else
        s_waitHead = &me;
    s_waitTail = &me;
    const struct timespec deadline = deadlineIn(timeoutMsec);
    int err = 0;
    while ((sp_response != nullptr || s_waitHead != &me) && s_readerClosed == 0 && s_fd >= 0) {
        if (timeoutMsec > 0) {
            int rc = pthread_cond_timedwait(&s_commandcond, &s_commandmutex, &deadline);
            if (rc == ETIMEDOUT && (sp_response != nullptr || s_waitHead != &me) && s_readerClosed == 0 &&
                s_fd >= 0) {
                err = AT_ERROR_COMMAND_PENDING;
                break;
            }
        } else {
            pthread_cond_wait(&s_commandcond, &s_commandmutex);
        }
    }
    leaveQueue(&me);
    return err;
}

int sendNolock(const char *command, AtCommandKind kind, const char *responsePrefix,
               const char *smspdu, long long timeoutMsec, AtReply **pp_outResponse)
    RIL_REQUIRES(s_commandmutex) {
    if (pp_outResponse != nullptr) *pp_outResponse = nullptr;
    if (command == nullptr) return AT_ERROR_GENERIC;
    int err = waitForTurn(timeoutMsec);
    if (err < 0) return err;
    // a channel that closed while this sender waited refuses the write (-3)
    if (sp_response != nullptr) return AT_ERROR_CHANNEL_CLOSED;

    err = writeCommand(command);
    if (err < 0) return err;

    sp_response = (AtReply *)calloc(1, sizeof(AtReply));
    if (sp_response == nullptr) return AT_ERROR_GENERIC;
    s_type = (int)kind;
    s_responsePrefix = responsePrefix;
    s_smsPDU = smspdu;
    s_commandText = command;
    const unsigned myGen = s_gen;

    struct timespec deadline = {0, 0};
    if (timeoutMsec > 0) deadline = deadlineIn(timeoutMsec);

    err = 0;
    // a channel closed or re-opened meanwhile (generation changed) ends the wait
    while (sp_response->finalResponse == nullptr && s_readerClosed == 0 && s_gen == myGen) {
        if (timeoutMsec > 0) {
            int rc = pthread_cond_timedwait(&s_commandcond, &s_commandmutex, &deadline);
            if (rc == ETIMEDOUT && sp_response->finalResponse == nullptr && s_readerClosed == 0 &&
                s_gen == myGen) {
                err = AT_ERROR_TIMEOUT;
                // a module left in PDU entry would take the next commands as
                // message text: ESC cancels the entry
                if (smspdu != nullptr && s_fd >= 0) writeAll(s_fd, "\x1b", 1);
                break;
            }
        } else {
            pthread_cond_wait(&s_commandcond, &s_commandmutex);
        }
    }
    if (err == 0) {
        reverseIntermediates(sp_response);
        if (pp_outResponse != nullptr) {
            *pp_outResponse = sp_response;
        } else {
            at_response_free(sp_response);
        }
        sp_response = nullptr;
        err = (s_readerClosed != 0 || s_gen != myGen) ? AT_ERROR_CHANNEL_CLOSED : 0;
    }
    clearPending();
    // the channel is free: the first waiting sender goes next
    pthread_cond_broadcast(&s_commandcond);
    return err;
}

bool hasIntermediate(const AtReply *p) { return p != nullptr && p->p_intermediates != nullptr; }

void giveReply(AtReply *p, AtReply **pp_outResponse) {
    if (pp_outResponse != nullptr) {
        *pp_outResponse = p;
    } else {
        at_response_free(p);
    }
}

}  // namespace

extern "C" {

int at_open(int fd, ATUnsolHandler h) {
    pthread_once(&s_initOnce, initLocks);
    if (fd < 0) return -1;
    Reader *r = new (std::nothrow) Reader;
    if (r == nullptr) return -1;
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0) {
        delete r;
        return -1;
    }
    r->fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    r->wakeFd = pipefd[0];
    if (r->fd < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        delete r;
        return -1;
    }
    {
        CmdLock lock;
        // a channel that was never closed: its reader ends now and its port
        // is closed (the caller's new descriptor may be the same one)
        if (s_wakeWr >= 0) close(s_wakeWr);
        if (s_fd >= 0 && s_fd != fd) close(s_fd);
        s_wakeWr = pipefd[1];
        s_gen++;
        r->gen = s_gen;
        s_fd = fd;
        s_unsolHandler = h;
        s_readerClosed = 0;
        // a sender still waiting on the old channel wakes and returns -3
        pthread_cond_broadcast(&s_commandcond);
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    int rc = pthread_create(&s_tid_reader, &attr, readerThread, r);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        AT_LOGE("pthread_create: %s", strerror(rc));
        // back to a closed channel: nothing may write to a port without a reader
        CmdLock lock;
        close(s_wakeWr);
        s_wakeWr = -1;
        s_fd = -1;
        s_readerClosed = 1;
        s_gen++;
        pthread_cond_broadcast(&s_commandcond);
        close(r->fd);
        close(r->wakeFd);
        delete r;
        return -1;
    }
    return 0;
}

void at_close(void) {
    CmdLock lock;
    if (s_fd >= 0) close(s_fd);
    s_fd = -1;
    // closing the wake pipe ends the reader
    if (s_wakeWr >= 0) close(s_wakeWr);
    s_wakeWr = -1;
    s_readerClosed = 1;
    s_gen++;
    pthread_cond_broadcast(&s_commandcond);
}

void at_set_on_timeout(void (*onTimeout)(void)) {
    CmdLock lock;
    s_onTimeout = onTimeout;
}

void at_set_on_reader_closed(void (*onClose)(void)) {
    CmdLock lock;
    s_onReaderClosed = onClose;
}

int at_send_command_full_nolock(const char *command, AtCommandKind kind,
                                const char *responsePrefix, const char *smspdu,
                                long long timeoutMsec, AtReply **pp_outResponse) {
    if (t_isReader) {
        if (pp_outResponse != nullptr) *pp_outResponse = nullptr;
        return AT_ERROR_INVALID_THREAD;
    }
    // normally reached with the command mutex held; taken here otherwise
    CmdLock lock;
    return sendNolock(command, kind, responsePrefix, smspdu, timeoutMsec, pp_outResponse);
}

int at_send_command_full(const char *command, AtCommandKind kind, const char *responsePrefix,
                         const char *smspdu, long long timeoutMsec, AtReply **pp_outResponse) {
    if (pp_outResponse != nullptr) *pp_outResponse = nullptr;
    if (t_isReader) return AT_ERROR_INVALID_THREAD;
    if (command == nullptr) return AT_ERROR_GENERIC;
    long long timeout = chooseTimeout(command, timeoutMsec);
    int err;
    void (*onTimeout)(void);
    {
        CmdLock lock;
        err = sendNolock(command, kind, responsePrefix, smspdu, timeout, pp_outResponse);
        onTimeout = s_onTimeout;
    }
    if (err == AT_ERROR_TIMEOUT) {
        if (onTimeout == nullptr) return err;
        AT_LOGI("timeount command:%s, time:%d", command, (int)timeout);
        if (!(strstr(command, "CLCC") != nullptr && strstr(command, "HOMESNID") != nullptr &&
              strstr(command, "COPS") != nullptr)) {
            __atomic_add_fetch(&g_ntimeoutcount, 1, __ATOMIC_SEQ_CST);
            onTimeout();
        }
        return err;
    }
    if (err == 0) __atomic_store_n(&g_ntimeoutcount, 0, __ATOMIC_SEQ_CST);
    return err;
}

// Single-line and numeric commands: OK without the expected line is -6.
static int sendExpectingLine(const char *command, AtCommandKind kind, const char *responsePrefix,
                             AtReply **pp_outResponse) {
    AtReply *p = nullptr;
    int err = at_send_command_full(command, kind, responsePrefix, nullptr, 0, &p);
    if (err == 0 && p != nullptr && p->success && !hasIntermediate(p)) {
        at_response_free(p);
        if (pp_outResponse != nullptr) *pp_outResponse = nullptr;
        return AT_ERROR_INVALID_RESPONSE;
    }
    giveReply(p, pp_outResponse);
    return err;
}

int at_send_command(const char *command, AtReply **pp_outResponse) {
    return at_send_command_full(command, NO_RESULT, nullptr, nullptr, 0, pp_outResponse);
}

int at_send_command_singleline(const char *command, const char *responsePrefix,
                               AtReply **pp_outResponse) {
    AT_LOGD("single:%s", command != nullptr ? command : "");
    return sendExpectingLine(command, SINGLELINE, responsePrefix, pp_outResponse);
}

int at_send_command_numeric(const char *command, AtReply **pp_outResponse) {
    return sendExpectingLine(command, NUMERIC, nullptr, pp_outResponse);
}

int at_send_command_multiline(const char *command, const char *responsePrefix,
                              AtReply **pp_outResponse) {
    return at_send_command_full(command, MULTILINE, responsePrefix, nullptr, 0, pp_outResponse);
}

int at_send_command_sms(const char *command, const char *pdu, const char *responsePrefix,
                        AtReply **pp_outResponse) {
    AtReply *p = nullptr;
    // the text goes out after the prompt and is ended by Ctrl-Z: a Ctrl-Z,
    // ESC or line end inside it would end the entry early and run the rest
    // as commands
    if (pdu != nullptr && strpbrk(pdu, "\x1a\x1b\r\n") != nullptr) {
        RILDEBUG("at_send_command_sms return %d", AT_ERROR_GENERIC);
        if (pp_outResponse != nullptr) *pp_outResponse = nullptr;
        return AT_ERROR_GENERIC;
    }
    int err = at_send_command_full(command, SINGLELINE, responsePrefix, pdu, 0, &p);
    if (err == 0 && p != nullptr && p->success && !hasIntermediate(p) && responsePrefix != nullptr) {
        at_response_free(p);
        p = nullptr;
        err = AT_ERROR_INVALID_RESPONSE;
    }
    giveReply(p, pp_outResponse);
    RILDEBUG("at_send_command_sms return %d", err);
    return err;
}

int at_send_single_command(const char *command) {
    if (command == nullptr) return AT_ERROR_GENERIC;
    CmdLock lock;
    return writeCommand(command);
}

void at_response_free(AtReply *p_response) {
    if (p_response == nullptr) return;
    ReplyLine *l = p_response->p_intermediates;
    while (l != nullptr) {
        ReplyLine *n = l->p_next;
        free(l->line);
        free(l);
        l = n;
    }
    free(p_response->finalResponse);
    free(p_response);
}

int at_get_cme_error(const AtReply *p_response) {
    if (p_response == nullptr) return -1;
    if (p_response->success > 0) return 0;
    if (p_response->finalResponse == nullptr ||
        !strStartsWith(p_response->finalResponse, "+CME ERROR:")) {
        return -1;
    }
    char copy[REPAIR_BUFFER];
    snprintf(copy, sizeof(copy), "%s", p_response->finalResponse);
    char *cur = copy;
    int ret = -1;
    if (at_tok_start(&cur) < 0) return -1;
    if (at_tok_nextint(&cur, &ret) < 0) return -1;
    return ret;
}

#if RIL_VERSION >= 15
int at_handshake(void) { return 0; }
#else
// The legacy channel greets the module until it answers: up to 8 tries of
// 250 ms, then a 250 ms pause for the module to settle.
int at_handshake(void) {
    if (t_isReader) return AT_ERROR_INVALID_THREAD;
    int err = AT_ERROR_GENERIC;
    {
        CmdLock lock;
        for (int i = 0; i < 8; i++) {
            err = sendNolock("ATE0Q0V1", NO_RESULT, nullptr, nullptr, 250, nullptr);
            if (err == 0) break;
        }
    }
    if (err == 0) sleepMsec(250);
    return err;
}
#endif

int at_test_waiting_senders(void) {
    CmdLock lock;
    int n = 0;
    for (Waiter *w = s_waitHead; w != nullptr; w = w->next) n++;
    return n;
}

AtReply *at_test_feed(const char *data, size_t len, size_t chunk, int kind, const char *command,
                      const char *prefix, const char *pdu, ATUnsolHandler h) {
    pthread_once(&s_initOnce, initLocks);
    Reader *r = new (std::nothrow) Reader;
    if (r == nullptr) return nullptr;
    r->mem = data != nullptr ? data : "";
    r->memLen = data != nullptr ? len : 0;
    r->memChunk = chunk;
    {
        CmdLock lock;
        s_gen++;
        r->gen = s_gen;
        s_fd = -1;
        s_unsolHandler = h;
        s_readerClosed = 0;
        clearPending();
        if (kind >= 0) {
            sp_response = (AtReply *)calloc(1, sizeof(AtReply));
            s_type = kind;
            s_commandText = command;
            s_responsePrefix = prefix;
            s_smsPDU = pdu;
        }
    }
    bool wasReader = t_isReader;
    t_isReader = true;
    readerLoop(r);
    t_isReader = wasReader;
    AtReply *out = nullptr;
    {
        CmdLock lock;
        if (sp_response != nullptr) {
            reverseIntermediates(sp_response);
            out = sp_response;
            sp_response = nullptr;
        }
        clearPending();
        s_gen++;
        s_readerClosed = 1;
        s_unsolHandler = nullptr;
    }
    delete r;
    return out;
}

}  // extern "C"
