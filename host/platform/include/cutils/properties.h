/* Host stand-in for the platform property interface: one file per property
 * under $RIL_PROPERTY_DIR, the file name is the key, the content the value. */
#ifndef HOST_CUTILS_PROPERTIES_H
#define HOST_CUTILS_PROPERTIES_H

#ifdef __cplusplus
extern "C" {
#endif

#define PROPERTY_KEY_MAX 32
#define PROPERTY_VALUE_MAX 92

/* Copies the value (or the default, or "") into value, which must hold
 * PROPERTY_VALUE_MAX bytes; returns the length copied. */
int property_get(const char *key, char *value, const char *default_value);
/* Returns 0, or -1 when the key is invalid or the value too long. */
int property_set(const char *key, const char *value);

#ifdef __cplusplus
}
#endif

#endif
