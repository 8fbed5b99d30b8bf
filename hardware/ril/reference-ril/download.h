/*
 * Serial firmware download for modules of the 6270 class: the port, the
 * CRC-16/X-25 frame codec and the download procedures (programmer in Intel
 * HEX, "mbn" images, header files). Every routine works on the one process-
 * wide port descriptor fport. Nothing in the request flow calls these; they
 * are exported for outside callers (and the host program ril-flash).
 *
 * Frames: 0x7E, body, CRC-16/X-25 of the body (low byte first), 0x7E; every
 * body and CRC byte 0x7E is sent as 0x7D 0x5E and 0x7D as 0x7D 0x5D.
 */
#ifndef RIL_DOWNLOAD_H
#define RIL_DOWNLOAD_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* the open port (-1 when none) */
extern int fport;
/* CRC-16/X-25 table, reflected polynomial 0x8408 */
extern const unsigned short crctab16[256];

/* Programmer frames carry at most this many data bytes, image blocks this
 * many, header files at most DOWNLOAD_HEADER_MAX bytes. */
#define DOWNLOAD_PROGRAMMER_PACKET 1017
#define DOWNLOAD_IMAGE_BLOCK 1024
#define DOWNLOAD_HEADER_MAX 1000
/* images of this size or more do not fit the block frame's offset field */
#define DOWNLOAD_IMAGE_LIMIT (16L * 1024 * 1024)
/* the longest image or header path (the tool's own buffer) */
#define DOWNLOAD_PATH_MAX 64
/* the longest device path openport_path takes */
#define DOWNLOAD_PORT_PATH_MAX 255

/* "/dev/ttyUSB<port>"; 0, or -1 after 10 failed attempts 3 s apart */
int openport(int port);
/* the same for a full device path of at most 255 characters */
int openport_path(const char *path);
/* raw 8N1 at 115200 bit/s on fport; 0 or -1 */
int set_opt(void);
void closeport(void);
int writecomm(const char *text);
int Write(const unsigned char *buf, int len);
int Read(unsigned char *buf, int size);

/* the download-mode request, 7 times; the last write's result */
int setdownloadmode(void);
/* the start request, once; the write's result */
int setbegindown(void);
/* "AT\r" and up to 4 reads for "OK": 0 when found, -1 otherwise */
int ATtest(void);

unsigned short crc_update(const unsigned char *buf, int len);
/* Escapes frame[1..n] behind the unchanged frame[0], appends 0x7E and a 0
 * byte (not counted); returns the count written. out must hold 2 * n + 3
 * bytes. -1 for a negative n or a null buffer. */
int convert_find(unsigned char *out, const unsigned char *frame, int n);
/* 0 when pattern occurs in data, -1 otherwise */
int memstr(const unsigned char *data, int dlen, const unsigned char *pattern, int plen);
/* waits for an answer that contains the expected bytes: 0, or -1 */
int Issendpass(const unsigned char *expected, int n);
/* sends the frame up to retries + 1 times until it is acknowledged: 0 or -1 */
int SendSyncCmd(const unsigned char *frame, int len, const unsigned char *expected, int n, int retries);

/* Reads and checks an Intel HEX programmer without sending anything: the
 * number of data bytes (the first one's address in *address), or -1 with a
 * one-line reason in reason (reasonlen bytes, terminated). */
long checkhexfile(const char *path, unsigned int *address, char *reason, int reasonlen);
/* the programmer "NPRG6270.hex" from the working directory */
int writehex(void);
/* the same from a given Intel HEX file */
int writehex_path(const char *path);
int writembnfile(const char *path);
int writehdfile(const char *path, const unsigned char *hdr);
void debug(const char *title, const unsigned char *buf, int len, int number);

/*
 * Answer polls: Issendpass reads up to 11 times and waits this long for
 * input between reads (1 ms: a module answers within a millisecond over
 * USB). A slower link, or a host under load, may raise it.
 */
extern int g_download_answer_wait_ms;
/* Called after every programmer packet and image block with the file's name,
 * the bytes sent so far and the total (null: no calls). */
typedef void (*download_progress_fn)(const char *file, long done, long total);
extern download_progress_fn g_download_progress;

#ifdef __cplusplus
}

#include <stdint.h>

#include <string>
#include <vector>

/* helpers of the download unit, for its tests and fuzzer; not exported */
#define RIL_DOWNLOAD_HIDDEN __attribute__((visibility("hidden")))

namespace ril_download {

/* The contents of an Intel HEX file: one contiguous run of data. */
struct RIL_DOWNLOAD_HIDDEN HexImage {
    uint32_t address = 0;
    std::vector<unsigned char> data;
};

/*
 * Parses an Intel HEX text (records ":CCAAAATT<data>SS", CR LF or LF line
 * ends, types 00 to 05). Everything must be right: hex digits, counts,
 * checksums, an end-of-file record last, data in one run without gaps or
 * overlaps. On failure returns false with a one-line reason naming the line.
 */
RIL_DOWNLOAD_HIDDEN bool ParseIntelHex(const char *text, size_t len, HexImage *out, std::string *error);

/* One answer frame from the module, unescaped, without its CRC. */
struct RIL_DOWNLOAD_HIDDEN AnswerFrame {
    std::vector<unsigned char> body;
    bool crcOk = false;
};

/* Cuts module bytes into frames at 0x7E flags. Bytes after the last flag stay
 * in *pending for the next call; a run longer than the limit is dropped. */
RIL_DOWNLOAD_HIDDEN void SplitAnswerFrames(std::vector<unsigned char> *pending, const unsigned char *bytes, size_t len,
                       std::vector<AnswerFrame> *out);

}  // namespace ril_download
#endif

#endif
