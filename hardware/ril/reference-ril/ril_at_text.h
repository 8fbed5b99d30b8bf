/*
 * Checks for framework texts that end up inside AT commands, and access to
 * the string arrays the framework hands to request handlers.
 */
#ifndef RIL_AT_TEXT_H
#define RIL_AT_TEXT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when s may be placed between double quotes in an AT command: not null,
 * and without a double quote, carriage return, line feed or any other
 * control character (bytes below 0x20 and 0x7f). 0 otherwise. */
int ril_is_safe_at_text(const char *s);

/* The index-th entry of a request's string array, or NULL when the array is
 * absent or shorter than index + 1 entries (datalen counts bytes). */
const char *ril_request_string(const void *data, size_t datalen, size_t index);

/* Copies src into dst, cut to cap - 1 bytes, always terminated (cap > 0).
 * Returns the number of bytes copied. */
size_t ril_copy_text(char *dst, size_t cap, const char *src);

#ifdef __cplusplus
}
#endif

#endif
