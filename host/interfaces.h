// The system's interface-address list (getifaddrs), read through the platform's own structure
// definitions, so a socket address with or without a length byte reads the same here.
#pragma once

#include "host/objects.h"

typedef struct HostInterfaceOpaque *HostInterface; // one entry of the list (struct ifaddrs)

static const int hostAddressFamilyIPv4 = 2; // AF_INET

#ifdef __cplusplus
extern "C" {
#endif

// getifaddrs: 0 and `*list` set to the head on success; anything else is failure, and `*list` is
// then left as it was.
int hostGetInterfaces(HostInterface *list);
// freeifaddrs: releases a whole list; does nothing for null.
void hostFreeInterfaces(HostInterface list);

HostInterface hostInterfaceNext(HostInterface entry); // ifa_next
const char *hostInterfaceName(HostInterface entry);   // ifa_name
// The family of ifa_addr, or -1 when the entry has no address.
int hostInterfaceFamily(HostInterface entry);
// The IPv4 address of an entry whose family is hostAddressFamilyIPv4, in network byte order.
uint32_t hostInterfaceIPv4Address(HostInterface entry);
// inet_ntoa: dotted-decimal text in storage the next conversion overwrites.
const char *hostInetNtoa(uint32_t networkOrderAddress);

#ifdef __cplusplus
}
#endif
