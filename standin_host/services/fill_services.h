// The host's fills ("PF Fill Matte Suite" 2 and utils->fill): the rectangle,
// right and bottom exclusive, clipped to the world; a null rectangle is the
// whole world; an empty or outside rectangle paints nothing. The world's
// pixels must be of the fill's type, as the real host requires.
#pragma once

#include "host/interface/ae_effect.h"

namespace standin {

// All return 0, or PF_Err_BAD_CALLBACK_PARAM for a null colour or world or a
// world whose rows cannot hold its width.
PF_Err Fill(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
            PF_EffectWorld* world);
PF_Err Fill16(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* rect,
              PF_EffectWorld* world);
PF_Err FillFloat(PF_ProgPtr effect_ref, const PF_PixelFloat* color, const PF_Rect* rect,
                 PF_EffectWorld* world);

}  // namespace standin
