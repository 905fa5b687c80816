/* What the effect declares about itself: names, version and capabilities.
 * Global set-up and the properties resource both read this one definition, so
 * the two can never disagree. Plain macros only: the resource compiler reads
 * this file too. */
#ifndef OSTREL_EFFECT_IDENTITY_H
#define OSTREL_EFFECT_IDENTITY_H

#define OSTREL_EFFECT_NAME "OstrelStrata"
#define OSTREL_EFFECT_CATEGORY "Ostrel"
#define OSTREL_EFFECT_MATCH_NAME "OstrelStrata by Marovenka"
#define OSTREL_EFFECT_DESCRIPTION "Imagination!"

/* Version 1.0, bug-fix 0, stage release, build 1 in the host's packing:
 * build in bits 0-8, stage in 9-10, bug-fix in 11-14, subversion in 15-18,
 * version in 19-21. */
#define OSTREL_EFFECT_MAJOR_VERSION 1
#define OSTREL_EFFECT_MINOR_VERSION 0
#define OSTREL_EFFECT_BUG_VERSION 0
#define OSTREL_EFFECT_STAGE 3
#define OSTREL_EFFECT_BUILD 1
#define OSTREL_EFFECT_VERSION 0x80601 /* 525825 */

/* PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_DEEP_COLOR_AWARE |
 * PF_OutFlag_SEND_UPDATE_PARAMS_UI */
#define OSTREL_EFFECT_OUT_FLAGS 0x06000040
/* PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE */
#define OSTREL_EFFECT_OUT_FLAGS2 0x00001400

#endif
