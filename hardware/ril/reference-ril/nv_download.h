/*
 * NV item download (legacy build only): writes the 16 NV items of one
 * module model over its diagnostic port, one NV-write request each, framed
 * like the download frames (byte stuffing, CRC-16/X-25, closing 0x7E, no
 * opening flag). No answers are read.
 */
#ifndef RIL_NV_DOWNLOAD_H
#define RIL_NV_DOWNLOAD_H

#if RIL_VERSION < 15

#ifdef __cplusplus
extern "C" {
#endif

#define NV_TX_BUFFER_SIZE 12000
#define NV_ITEM_COUNT 16
#define NV_ITEM_SIZE 128
/* command, item number, value, status */
#define NV_REQUEST_SIZE (1 + 2 + NV_ITEM_SIZE + 2)

extern unsigned char m_pTxBuf[NV_TX_BUFFER_SIZE];
extern int m_nTxLen;
extern const unsigned short crc_table[256];

/* opens the port, writes the 16 items; 0, or -1 when the port does not open */
int DownNV(const char *path);
void wnv(void);
/* the NV item number of index 0 to 15; -1 for any other index */
int GetNVItem(int index);
/* frames the bytes into m_pTxBuf and writes them; the write's result, or -1
 * when the frame would not fit the buffer */
int SendTcp(const unsigned char *bytes, int len);
/* builds the frame in m_pTxBuf and sets m_nTxLen; 0, or -1 (m_nTxLen 0)
 * when the frame would not fit */
int ComputeTxCRC(const unsigned char *bytes, int len);

#ifdef __cplusplus
}
#endif

#endif
#endif
