// The host's suites: the basic suite that hands out every other one, and the
// function tables of the suites this effect uses, with their names and
// versions.
#pragma once

#include "host/interface/ae_effect.h"

typedef A_long SPErr;

// Handed over in PF_InData::pica_basicP.
struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, A_long version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, A_long version);
    A_Boolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t new_size, void** new_block);
    SPErr (*Undefined)(void);
};

// ---- "PF Handle Suite" ----------------------------------------------------
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 1
#define kPFHandleSuiteVersion2 2

// Versions 1 and 2 have the same functions at the same places.
typedef struct PF_HandleSuite1 {
    PF_Handle (*host_new_handle)(A_HandleSize size);
    void* (*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
    PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handlePH);
} PF_HandleSuite1;
typedef PF_HandleSuite1 PF_HandleSuite2;

// ---- "AEGP Utility Suite" -------------------------------------------------
#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion7 7

struct _AEGP_GlobalRefcon;
typedef struct _AEGP_GlobalRefcon* AEGP_GlobalRefcon;

typedef struct AEGP_UtilitySuite7 {
    SPErr (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char* info_string);
    SPErr (*AEGP_ReportInfoUnicode)(AEGP_PluginID aegp_plugin_id, const A_u_short* info_string);
    SPErr (*AEGP_GetDriverPluginInitFuncVersion)(A_short* major_versionPS, A_short* minor_versionPS);
    SPErr (*AEGP_GetDriverImplementationVersion)(A_short* major_versionPS, A_short* minor_versionPS);
    SPErr (*AEGP_StartQuietErrors)(void* err_stateP);
    SPErr (*AEGP_EndQuietErrors)(A_Boolean report_quieted_errorsB, void* err_stateP);
    SPErr (*AEGP_GetLastErrorMessage)(A_long buffer_size, A_char* error_string, SPErr* error_num);
    SPErr (*AEGP_StartUndoGroup)(const A_char* undo_name);
    SPErr (*AEGP_EndUndoGroup)(void);
    SPErr (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_name,
                                   AEGP_PluginID* plugin_id);
} AEGP_UtilitySuite7;

// ---- "PF Param Utils Suite" -----------------------------------------------
#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion1 1
#define kPFParamUtilsSuiteVersion2 2

// Versions 1 and 2 have the same functions at the same places.
typedef struct PF_ParamUtilsSuite1 {
    PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                               const PF_ParamDef* defP);
    PF_Err (*PF_GetCurrentState)(PF_ProgPtr effect_ref, PF_State* stateP);
    PF_Err (*PF_HasParamChanged)(PF_ProgPtr effect_ref, const PF_State* stateP,
                                 PF_ParamIndex param_index, PF_Boolean* changedPB);
} PF_ParamUtilsSuite1;
typedef PF_ParamUtilsSuite1 PF_ParamUtilsSuite2;

// ---- "PF World Suite" -----------------------------------------------------
#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2

typedef struct PF_WorldSuite2 {
    PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL,
                          PF_Boolean clear_pixB, PF_PixelFormat pixel_format, PF_EffectWorld* worldP);
    PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* worldP);
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP);
} PF_WorldSuite2;

// ---- "PF ColorFloat Suite" ------------------------------------------------
#define kPFColorCallbacksFloatSuite "PF ColorFloat Suite"
#define kPFColorCallbacksFloatSuiteVersion1 1

typedef struct PF_ColorCallbacksFloatSuite1 {
    PF_Err (*RGBtoHLS)(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, PF_HLS_Pixel hls);
    PF_Err (*HLStoRGB)(PF_ProgPtr effect_ref, const PF_HLS_Pixel hls, PF_PixelFloat* rgb);
    PF_Err (*Luminance)(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, float* lum);
} PF_ColorCallbacksFloatSuite1;

// ---- "PF Fill Matte Suite" ------------------------------------------------
#define kPFFillMatteSuite "PF Fill Matte Suite"
#define kPFFillMatteSuiteVersion2 2

typedef struct PF_FillMatteSuite2 {
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                   PF_EffectWorld* world);
    PF_Err (*fill16)(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* dst_rect,
                     PF_EffectWorld* world);
    PF_Err (*fill_float)(PF_ProgPtr effect_ref, const PF_PixelFloat* color,
                         const PF_Rect* dst_rect, PF_EffectWorld* world);
} PF_FillMatteSuite2;

// ---- "PF ANSI Suite" ------------------------------------------------------
#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1

typedef PF_ANSICallbacks PF_ANSICallbacksSuite1;
