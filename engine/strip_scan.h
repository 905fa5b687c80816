// The strip scan: cuts the frame into strips, splits each strip's middle
// line into runs of similar colour and paints one bordered rectangle per run.
#pragma once

#include "engine/pixels.h"
#include "engine/render_settings.h"
#include "host/interface/ae_suites.h"

// Paints the frame into context.output_world, which the caller has cleared.
// Host failures, and a cancel from the progress call, land in *err (the first
// one wins) and stop the scan at once; nothing runs when *err is non-zero on
// entry. A strip_width below 1 is refused with PF_Err_BAD_CALLBACK_PARAM.
void PaintStrips(const RenderContext& context, const RenderSettings& settings,
                 const PF_ColorCallbacksFloatSuite1* color_suite,
                 const PF_FillMatteSuite2* fill_suite, PF_Err* err);

// Border colour of one run, at the context's depth; its alpha is the run's.
DepthPixel MakeEdgePixel(const RenderContext& context,
                         const PF_ColorCallbacksFloatSuite1* color_suite, A_long edge_mode,
                         PF_Fixed edge_factor, const DepthPixel& first_pixel,
                         const PF_HLS_Pixel first_hls, PF_Pixel edge_color);

// 2^edge_lightness - 1 in 16.16, rounded half away from zero, through the
// host's ansi.pow. Saturates at the 32-bit range; NaN gives 0.
PF_Fixed DeriveEdgeFactor(PF_Fixed edge_lightness, const PF_InData* in_data);

// Border lightness of a run: ((v >> 4) * (edge_factor >> 4)) >> 8, formed in
// 64 bits, capped at 1.0 above and at the 32-bit range below.
PF_Fixed ScaleEdgeLightness(PF_Fixed lightness, PF_Fixed edge_factor);

// {left + inset, top + inset, right - inset, bottom - inset}, saturating.
PF_LRect SetInsetRect(A_long top, A_long left, A_long bottom, A_long right, A_long inset);
// True when thickness is 0 or the rectangle inset by it still has area.
bool InsetIsNonEmpty(A_long left, A_long top, A_long bottom, A_long right, A_long thickness);

// The fill of the context's depth into output_world; its result is ignored.
void FillRect(const RenderContext& context, const PF_FillMatteSuite2* fill_suite,
              const PF_LRect& rect, const DepthPixel& color);

// The rectangle as the host's fills take it: the 12.10 interface narrows it to
// 16 bits, saturating.
PF_Rect ToHostRect(const PF_LRect& rect);
