/* Host stand-in for the platform's interface-configuration library. */
#ifndef HOST_NETUTILS_IFC_H
#define HOST_NETUTILS_IFC_H

#include <netinet/in.h>

#ifdef __cplusplus
extern "C" {
#endif

int ifc_init(void);
void ifc_close(void);
/* IPv4 address (network order), prefix length and flags of an interface;
 * any output may be NULL. 0 on success, -1 when it has none. */
int ifc_get_info(const char *name, in_addr_t *addr, int *prefixLength, unsigned *flags);
/* sets the interface's IPv4 address (network order); 0 on success */
int ifc_set_addr(const char *name, in_addr_t addr);

#ifdef __cplusplus
}
#endif

#endif
