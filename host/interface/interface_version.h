// Which generation of the host's effect interface this build speaks.
//
// The i386 build is made for the older, 32-bit generation (12.10); every
// other build speaks 13.0. All differences between the two key off this one
// switch, so a reader finds each of them by searching for it.
#pragma once

#if defined(__i386__) || defined(_M_IX86)
#define OSTREL_INTERFACE_12_10 1
#else
#define OSTREL_INTERFACE_12_10 0
#endif

#if OSTREL_INTERFACE_12_10
#define PF_PLUG_IN_VERSION 12
#define PF_PLUG_IN_SUBVERS 10
#else
#define PF_PLUG_IN_VERSION 13
#define PF_PLUG_IN_SUBVERS 0
#endif
