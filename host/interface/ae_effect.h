// The host's effect interface: commands, error codes, flags, parameter
// definitions, the callbacks in PF_InData and the blocks exchanged with the
// entry point. Names and values are the host's.
#pragma once

#include "host/interface/ae_types.h"

struct SPBasicSuite;

// ---- Commands -------------------------------------------------------------
enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_DO_DIALOG = 9,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
    PF_Cmd_COMPLETELY_GENERAL = 17,
    PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
    PF_Cmd_AUDIO_RENDER = 19,
    PF_Cmd_AUDIO_SETUP = 20,
    PF_Cmd_AUDIO_SETDOWN = 21,
    PF_Cmd_ARBITRARY_CALLBACK = 22,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24,
};

// ---- Error codes ----------------------------------------------------------
enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517,
    PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518,
};

// ---- Out flags ------------------------------------------------------------
enum : A_u_long {
    PF_OutFlag_NONE = 0,
    PF_OutFlag_USE_OUTPUT_EXTENT = 1UL << 6,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1UL << 8,
    PF_OutFlag_REFRESH_UI = 1UL << 17,
    PF_OutFlag_DEEP_COLOR_AWARE = 1UL << 25,
    PF_OutFlag_SEND_UPDATE_PARAMS_UI = 1UL << 26,
};
enum : A_u_long {
    PF_OutFlag2_NONE = 0,
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 1UL << 10,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 1UL << 12,
};

// ---- Parameters -----------------------------------------------------------
enum {
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_POPUP = 7,
};

enum {
    PF_PUI_DISABLED = 1L << 5,  // shown greyed out
    PF_PUI_INVISIBLE = 1L << 9,
};

enum {
    PF_ValueDisplayFlag_NONE = 0,
    PF_ValueDisplayFlag_PERCENT = 1,
};

enum {
    PF_ParamIndex_CHECK_ALL = -1,
    PF_ParamIndex_CHECK_ALL_EXCEPT_LAYER_PARAMS = -2,
    PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE = -3,
};

#define PF_MAX_EFFECT_PARAM_NAME_LEN 31
#define PF_MAX_EFFECT_MSG_LEN 255
#define PF_MAX_EFFECT_NAME_LEN 31

typedef A_char PF_ParamDefName[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
typedef A_char PF_ValueDisplayStr[32];

typedef struct {
    PF_ParamValue value;
    PF_ValueDisplayStr value_str;
    PF_ValueDisplayStr value_desc;
    PF_ParamValue valid_min, valid_max;
    PF_ParamValue slider_min, slider_max;
    PF_ParamValue dephault;
} PF_SliderDef;

typedef struct {
    PF_Fixed value;
    PF_ValueDisplayStr value_str;
    PF_ValueDisplayStr value_desc;
    PF_Fixed valid_min, valid_max;
    PF_Fixed slider_min, slider_max;
    PF_Fixed dephault;
    A_short precision;
    A_short display_flags;
} PF_FixedSliderDef;

typedef struct {
    PF_ParamValue value;
    A_short num_choices;
    A_short dephault;
    union {
        const A_char* namesptr;  // entries separated by '|'
    } u;
} PF_PopupDef;

typedef struct {
    PF_ParamValue value;
    PF_Boolean dephault;
    A_char reserved;
    A_short reserved1;
    union {
        const A_char* nameptr;  // label beside the box
    } u;
} PF_CheckBoxDef;

typedef struct {
    PF_UnionablePixel value;
    PF_UnionablePixel dephault;
} PF_ColorDef;

typedef union {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_PopupDef pd;
    PF_CheckBoxDef bd;
    PF_ColorDef cd;
} PF_ParamDefUnion;

typedef struct PF_ParamDef {
    union {
        A_long id;
        A_long change_flags;
    } uu;
    PF_ParamType param_type;
    PF_ParamDefName name;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamFlags flags;
    PF_ParamDefUnion u;
} PF_ParamDef, *PF_ParamDefPtr, **PF_ParamList;

// The host's record of every parameter's state at one moment; only the host
// reads its contents.
typedef struct {
    A_long reserved[4];
} PF_State;
static_assert(sizeof(PF_State) == 16, "parameter state is sixteen bytes");

// ---- Callbacks in PF_InData -----------------------------------------------
typedef struct {
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                             A_long time_step, A_u_long time_scale, PF_ParamDef* param);
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
    PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
    PF_Err (*abort)(PF_ProgPtr effect_ref);
    PF_Err (*progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
} PF_InteractCallbacks;

// The C library's services as the host offers them.
typedef struct {
    double (*atan)(double);
    double (*atan2)(double y, double x);
    double (*ceil)(double);
    double (*cos)(double);
    double (*exp)(double);
    double (*fabs)(double);
    double (*floor)(double);
    double (*fmod)(double x, double y);
    double (*hypot)(double x, double y);
    double (*log)(double);
    double (*log10)(double);
    double (*pow)(double x, double y);
    double (*sin)(double);
    double (*sqrt)(double);
    double (*tan)(double);
    int (*sprintf)(A_char* buffer, const A_char* format, ...);
    A_char* (*strcpy)(A_char* dest, const A_char* src);
    double (*asin)(double);
    double (*acos)(double);
} PF_ANSICallbacks;

typedef struct _PF_UtilCallbacks {
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                   PF_EffectWorld* world);
    PF_Handle (*host_new_handle)(A_HandleSize size);
    void* (*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    PF_ANSICallbacks ansi;
} PF_UtilCallbacks;

// ---- The blocks exchanged with the entry point ----------------------------
typedef struct PF_InData {
    PF_InteractCallbacks inter;
    struct _PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    A_long quality;
    A_long version_major;  // the interface version the host speaks
    A_long version_minor;
    A_long serial_num;
    A_long appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_Rect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    struct SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
} PF_InData;

typedef struct PF_OutData {
    A_u_long my_version;
    A_char name[PF_MAX_EFFECT_NAME_LEN + 1];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    A_long origin_x;
    A_long origin_y;
    PF_OutFlags out_flags;
    A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
    A_long start_sampL;
    A_long dur_sampL;
    void* dest_snd;
    PF_OutFlags2 out_flags2;
} PF_OutData;

// Host application ids as seen in PF_InData::appl_id.
enum {
    PF_APPL_ID_PREMIERE = OSTREL_FOURCC('P', 'r', 'M', 'r'),
    PF_APPL_ID_AFTER_EFFECTS = OSTREL_FOURCC('F', 'X', 'T', 'C'),
};

// Version packing of PF_OutData::my_version.
enum { PF_Stage_DEVELOP = 0, PF_Stage_ALPHA = 1, PF_Stage_BETA = 2, PF_Stage_RELEASE = 3 };
#define PF_VERSION(vers, subvers, bugvers, stage, build)                                         \
    ((A_u_long)((((vers)&0x7) << 19) | (((subvers)&0xF) << 15) | (((bugvers)&0xF) << 11) | \
                (((stage)&0x3) << 9) | ((build)&0x1FF)))

// The entry point's signature, as the host calls it.
extern "C" typedef PF_Err (*PF_EntryPointFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                               PF_ParamDef* params[], PF_LayerDef* output,
                                               void* extra);

// The packed version must match the fields it is made of.
#include "host/effect_identity.h"
static_assert(PF_VERSION(OSTREL_EFFECT_MAJOR_VERSION, OSTREL_EFFECT_MINOR_VERSION,
                         OSTREL_EFFECT_BUG_VERSION, OSTREL_EFFECT_STAGE, OSTREL_EFFECT_BUILD) ==
                  OSTREL_EFFECT_VERSION,
              "effect version");
static_assert(OSTREL_EFFECT_OUT_FLAGS == (PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_DEEP_COLOR_AWARE |
                                          PF_OutFlag_SEND_UPDATE_PARAMS_UI),
              "out flags");
static_assert(OSTREL_EFFECT_OUT_FLAGS2 ==
                  (PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE),
              "out flags 2");
