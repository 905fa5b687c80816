// Basic types of the host's effect interface: integers, fixed point, pixels,
// rectangles and worlds, with the host's own names and layouts.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "host/interface/interface_version.h"

typedef int8_t A_char_signed;
typedef char A_char;
typedef uint8_t A_u_char;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int64_t A_long_long;
typedef uint64_t A_u_longlong;
typedef uint8_t A_Boolean;
typedef A_u_char PF_Boolean;

typedef A_long PF_Err;
typedef A_long PF_Fixed;  // signed 16.16
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamValue;
typedef A_u_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ParamType;
typedef A_u_long PF_OutFlags;
typedef A_u_long PF_OutFlags2;
typedef A_long PF_InFlags;
typedef A_long PF_Cmd;
typedef A_long PF_Field;
typedef A_long PF_ChannelMask;
typedef A_long PF_RenderOutputFlags;
typedef A_long PF_WorldFlags;
typedef A_long AEGP_PluginID;
typedef A_u_longlong A_HandleSize;

// Memory that outlives a command: a pointer to the host's pointer to the block.
typedef void** PF_Handle;

// Opaque reference to the effect instance, passed back in every host call.
typedef struct _PF_ProgressInfo* PF_ProgPtr;

typedef struct {
    A_long num;
    A_u_long den;
} PF_RationalScale;

// All three pixel types hold their channels alpha, red, green, blue.
typedef struct {
    A_u_char alpha, red, green, blue;
} PF_Pixel;
typedef PF_Pixel PF_Pixel8;
typedef PF_Pixel PF_UnionablePixel;

typedef struct {
    A_u_short alpha, red, green, blue;
} PF_Pixel16;

typedef float PF_FpShort;
typedef struct {
    PF_FpShort alpha, red, green, blue;
} PF_PixelFloat, PF_Pixel32;

// Hue (degrees), lightness and saturation (fractions), each 16.16.
typedef PF_Fixed PF_HLS_Pixel[3];

typedef struct {
    A_long left, top, right, bottom;
} PF_LRect;

#if OSTREL_INTERFACE_12_10
// The older interface hands rectangles to the fills as four 16-bit values.
typedef struct {
    A_short top, left, bottom, right;
} PF_Rect;
#else
typedef PF_LRect PF_Rect;
#endif
typedef PF_LRect PF_UnionableRect;

typedef A_long PF_PixelFormat;
#define OSTREL_FOURCC(a, b, c, d) \
    ((A_long)(((A_u_long)(a) << 24) | ((A_u_long)(b) << 16) | ((A_u_long)(c) << 8) | (A_u_long)(d)))
enum {
    PF_PixelFormat_ARGB32 = OSTREL_FOURCC('a', 'r', 'g', 'b'),
    PF_PixelFormat_ARGB64 = OSTREL_FOURCC('a', 'r', '1', '6'),
    PF_PixelFormat_ARGB128 = OSTREL_FOURCC('a', 'r', '3', '2'),
    PF_PixelFormat_INVALID = OSTREL_FOURCC('b', 'a', 'd', 'f'),
};

enum {
    PF_WorldFlag_DEEP = 1L << 0,
    PF_WorldFlag_WRITEABLE = 1L << 1,
};

// A layer or output image as the host lends it: `rowbytes` may exceed
// `width` times the pixel size.
typedef struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    PF_WorldFlags world_flags;
    void* data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_UnionableRect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;
} PF_LayerDef;
typedef PF_LayerDef PF_EffectWorld;

static_assert(sizeof(PF_Pixel) == 4, "PF_Pixel is four bytes");
static_assert(sizeof(PF_Pixel16) == 8, "PF_Pixel16 is eight bytes");
static_assert(sizeof(PF_PixelFloat) == 16, "PF_PixelFloat is sixteen bytes");
static_assert(offsetof(PF_Pixel, alpha) == 0 && offsetof(PF_Pixel, blue) == 3, "ARGB order");
static_assert(offsetof(PF_Pixel16, alpha) == 0 && offsetof(PF_Pixel16, blue) == 6, "ARGB order");
static_assert(offsetof(PF_PixelFloat, alpha) == 0 && offsetof(PF_PixelFloat, blue) == 12, "ARGB order");
static_assert(sizeof(PF_HLS_Pixel) == 12, "hue, lightness, saturation");
static_assert(sizeof(PF_LRect) == 16 && offsetof(PF_LRect, bottom) == 12, "left, top, right, bottom");
#if OSTREL_INTERFACE_12_10
static_assert(sizeof(PF_Rect) == 8 && offsetof(PF_Rect, left) == 2 && offsetof(PF_Rect, right) == 6,
              "top, left, bottom, right");
#endif
