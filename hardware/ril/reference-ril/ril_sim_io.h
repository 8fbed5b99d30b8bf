/*
 * SIM file access: the SIM_IO request of the three families, the USIM file
 * control parameter (FCP) conversions into the SIM GET RESPONSE layout, and
 * the CDMA RUIM preset writes.
 */
#ifndef RIL_SIM_IO_H
#define RIL_SIM_IO_H

#include <stddef.h>

#include "ril_interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/* SIM GET RESPONSE layout (byte positions) and file types */
extern const int RESPONSE_DATA_RFU_1;
extern const int RESPONSE_DATA_RFU_2;
extern const int RESPONSE_DATA_FILE_SIZE_1;
extern const int RESPONSE_DATA_FILE_SIZE_2;
extern const int RESPONSE_DATA_FILE_ID_1;
extern const int RESPONSE_DATA_FILE_ID_2;
extern const int RESPONSE_DATA_FILE_TYPE;
extern const int RESPONSE_DATA_RFU_3;
extern const int RESPONSE_DATA_ACCESS_CONDITION_1;
extern const int RESPONSE_DATA_ACCESS_CONDITION_2;
extern const int RESPONSE_DATA_ACCESS_CONDITION_3;
extern const int RESPONSE_DATA_FILE_STATUS;
extern const int RESPONSE_DATA_LENGTH;
extern const int RESPONSE_DATA_STRUCTURE;
extern const int RESPONSE_DATA_RECORD_LENGTH;
extern const int GET_RESPONSE_EF_SIZE_BYTES;
extern const int GET_RESPONSE_EF_IMG_SIZE_BYTES;
extern const int TYPE_RFU;
extern const int TYPE_MF;
extern const int TYPE_DF;
extern const int TYPE_EF;
extern const int EF_ICCID;
extern const int COMMAND_READ_BINARY;
extern const int COMMAND_UPDATE_BINARY;
extern const int COMMAND_READ_RECORD;
extern const int COMMAND_UPDATE_RECORD;
extern const int COMMAND_SEEK;
extern const int COMMAND_GET_RESPONSE;

/* the fixed EF_ICCID answers of the WCDMA and LTE families */
extern const char kIccidGetResponse[];
extern const char kFixedIccid[];

/* Converts a USIM FCP answer into the 30-character SIM GET RESPONSE (LTE
 * buffer); an answer that is not a well-formed FCP stays as it is. */
void usim2sim(RIL_SIM_IO_Response *resp);
void usim2sim_wcdma(RIL_SIM_IO_Response *resp);

/* FCP hex text (at most 60 characters) to 30 upper-case hex characters and
 * a terminator in out (outsize above 30). 0 on success, -1 otherwise (also
 * when out is too small; nothing is written then). */
int fcp_to_res(const char *fcp, char *out, int outsize);

/* CDMA SIM_IO ("AT^RRU") and its "AT+CRSM" variant with a path */
void ERequestSimIo(int request, void *data, size_t datalen, RIL_Token t);
void RequestSimIo(int request, void *data, size_t datalen, RIL_Token t);

/* CDMA record-file GET RESPONSE rewrite (in place; text of at least 30
 * characters); returns 1 when rewritten, 0 when left as it is. */
int ril_rru_record_fix(char *response);

/* the RUIM preset writes, 30 s after the CDMA card became ready */
void PresetRuimFiles(void *param);

/* The conversion behind usim2sim: writes the 30 lower-case characters into
 * buf (cap at least 31) and points the answer at it; 1 when converted, 0
 * when the answer was left as it is (or emptied to none). */
int ril_usim_to_sim(RIL_SIM_IO_Response *resp, char *buf, size_t cap);

/* hex digits only, even length, at most maxlen characters */
int ril_is_hex_text(const char *s, size_t maxlen);

#ifdef __cplusplus
}
#endif

#endif
