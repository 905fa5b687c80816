// The strip scan: cuts the frame into strips, splits each strip's middle
// line into runs of similar colour and paints one bordered rectangle per run.
#pragma once

#include "engine/pixels.h"
#include "engine/render_settings.h"
#include "host/interface/ae_suites.h"

// Paints the frame into context.output_world. Every host failure (and a
// cancel from the progress call) lands in *err; the first one wins.
void PaintStrips(const RenderContext& context, const RenderSettings& settings,
                 const PF_ColorCallbacksFloatSuite1* color_suite,
                 const PF_FillMatteSuite2* fill_suite, PF_Err* err);

// Border colour of one run.
DepthPixel MakeEdgePixel(const RenderContext& context, const PF_ColorCallbacksFloatSuite1* color_suite,
                         A_long edge_mode, PF_Fixed edge_factor, const DepthPixel& first_pixel,
                         const PF_HLS_Pixel first_hls, PF_Pixel edge_color);

// 2^edge_lightness - 1 in 16.16, rounded half away from zero.
PF_Fixed DeriveEdgeFactor(PF_Fixed edge_lightness, const PF_InData* in_data);

// Border lightness of a run: its raw lightness scaled by edge_factor, capped at 1.0.
PF_Fixed ScaleEdgeLightness(PF_Fixed lightness, PF_Fixed edge_factor);

PF_LRect SetInsetRect(A_long top, A_long left, A_long bottom, A_long right, A_long inset);
bool InsetIsNonEmpty(A_long left, A_long top, A_long bottom, A_long right, A_long thickness);

void FillRect(const RenderContext& context, const PF_FillMatteSuite2* fill_suite,
              const PF_LRect& rect, const DepthPixel& color);

// The rectangle as the host's fills take it: the 12.10 interface narrows it to
// 16 bits, saturating.
PF_Rect ToHostRect(const PF_LRect& rect);
