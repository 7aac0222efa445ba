// The system's interface-address list (getifaddrs), read through the platform's own structure
// definitions, so a socket address with or without a length byte reads the same here.
#pragma once

#include "platform/objects.h"

typedef struct PlatformInterfaceOpaque *PlatformInterface; // one entry of the list (struct ifaddrs)

static const int platformAddressFamilyIPv4 = 2; // AF_INET

#ifdef __cplusplus
extern "C" {
#endif

// getifaddrs: 0 and `*list` set to the head on success; anything else is failure, and `*list` is
// then left as it was.
int platformGetInterfaces(PlatformInterface *list);
// freeifaddrs: releases a whole list; does nothing for null.
void platformFreeInterfaces(PlatformInterface list);

PlatformInterface platformInterfaceNext(PlatformInterface entry); // ifa_next
const char *platformInterfaceName(PlatformInterface entry);       // ifa_name
// The family of ifa_addr, or -1 when the entry has no address.
int platformInterfaceFamily(PlatformInterface entry);
// The IPv4 address of an entry whose family is platformAddressFamilyIPv4, in network byte order.
uint32_t platformInterfaceIPv4Address(PlatformInterface entry);
// inet_ntoa: dotted-decimal text in storage the next conversion overwrites.
const char *platformInetNtoa(uint32_t networkOrderAddress);

#ifdef __cplusplus
}
#endif
