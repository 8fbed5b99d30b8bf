/*
 * Character set and PDU codecs: GSM 7-bit default alphabet and national
 * tables to and from 16-bit Unicode, GSM 7-bit packing, UTF-8, 8-bit,
 * big-endian UCS-2 and hexadecimal text.
 *
 * Every routine is pure: caller-owned buffers, no allocation, no state,
 * safe from any thread. A negative count is taken as 0 and an absent
 * pointer gives 0 (-1 for hexStringToBytes). Each routine's buffer rule
 * below is the most it ever reads and writes, whatever the bytes in the
 * input: size the output from it and nothing is written past it.
 *
 * A unit is an unsigned 16-bit Unicode code unit (UCS-2; surrogates are not
 * treated specially); a septet is a byte holding a GSM 7-bit code 0..127.
 */
#ifndef SMS_CODEC_H
#define SMS_CODEC_H

#ifdef __cplusplus
extern "C" {
#endif

/* The value of one hex digit ("0"-"9", "A"-"F", "a"-"f"); anything else 0. */
int hexCharToInt(char c);

/*
 * hex: NUL-terminated text. Writes at most `capacity` bytes. Returns
 * (strlen + 1) / 2, or -1 for absent text or when the text needs more than
 * `capacity` bytes (the bytes that fit are written). An odd last digit is
 * the high nibble of a last byte whose low nibble is 0.
 */
int hexStringToBytes(const char *hex, unsigned char *out, int capacity);

/*
 * Reads `count` bytes, writes 2 * count upper-case digits and a NUL:
 * out holds 2 * count + 1 chars. Returns 2 * count (0 for count <= 0,
 * out[0] = NUL when out is given).
 */
int BytesToHexstring(const unsigned char *bytes, char *out, int count);
/* Same as BytesToHexstring. */
int gsmBytes2String(const unsigned char *bytes, char *out, int count);

/*
 * Reads `count` characters, writes count / 2 bytes (an odd last character
 * is not read). Digits are read as c - '0' for "0"-"9", else c - 55, so only
 * upper-case "A"-"F" give 10-15. Returns count / 2.
 */
int gsmString2Bytes(const char *hex, unsigned char *out, int count);

/*
 * Reads at most `count` bytes of UTF-8 (the input ends there, even inside a
 * sequence) and at most `count` decoding steps; writes at most `count` units.
 * One- to three-byte sequences give one unit each; a lead byte whose
 * continuation is missing gives the lead's bits alone. Decoding stops at a
 * stray continuation byte or a four-byte lead. Returns the units written.
 */
int Utf8ToUnicode(const unsigned char *utf8, unsigned short *out, int count);

/* Reads `count` units, writes at most 3 * count bytes, no terminator. */
int UnicodeToUtf8(const unsigned short *units, unsigned char *out, int count);

/* 1 when the unit has a GSM 7-bit code (default or extension), else 0. */
int GSM_7BitAlphabet(unsigned short unit);

/*
 * Reads `count` units, writes at most 2 * count septets (an extension
 * character is the escape 27 and its position; a unit with no code is
 * dropped). Returns the septets written.
 */
int UnicodeToGsm7bit(const unsigned short *units, unsigned char *out, int count);

/*
 * Reads `count` bytes, writes at most `count` units. An escape 27 and the
 * byte after it give one extension unit; an escape that is the last byte,
 * an unused position and a byte of 128 or more give U+0020. Returns the
 * units written.
 */
int Gsm7bitToUnicode(const unsigned char *septets, unsigned short *out, int count);

/* Same, with the national table pair of `table` (4, 8 or 12; else default). */
int Gsm7bitToUnicodeExt(const unsigned char *septets, unsigned short *out, int count, int table);

/* Reads `count` bytes, writes count units and a 0 unit: count + 1 units. */
int gsmDecode8bit(const unsigned char *bytes, unsigned short *out, int count);

/*
 * Packs `count` septets (each taken as its low 7 bits). Writes at most
 * (7 * count + 7) / 8 + 1 octets: (7 * count + 7) / 8, plus one when count
 * is a multiple of 8 and the last septet is CR. When count mod 8 is 7 the
 * free bits of the last octet hold CR. Returns the octets written.
 */
int CompressGsm7bit(const unsigned char *septets, unsigned char *out, int count);

/*
 * Unpacks `count` octets into count + count / 7 septets and a NUL: out holds
 * count + count / 7 + 1 bytes. Returns count + count / 7.
 */
int UncompressGsm7bit(const unsigned char *octets, unsigned char *out, int count);

/* Reads `count` units, writes 2 * count bytes, high byte first. */
int WidecharToByte(const unsigned short *units, unsigned char *out, int count);

/* Reads `count` bytes, writes count / 2 units, first byte high. */
int BytesToWidechar(const unsigned char *bytes, unsigned short *out, int count);

/* "a"-"z" to "A"-"Z" in place up to the NUL; returns text (absent: absent). */
char *StrToUpper(char *text);

/* 1: the platform is little-endian. */
int IsLittleEndian(void);

#ifdef __cplusplus
}
#endif

#endif
