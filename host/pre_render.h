#pragma once

#include "host/interface/ae_types.h"

// The id under which pre-render asks for the input layer and render fetches it.
constexpr A_long kInputCheckoutId = 0;

// Grows `target` to hold `source` too. An empty target takes the source as it
// is, empty or not; an empty source changes nothing.
void AccumulateRect(const PF_LRect& source, PF_LRect* target);
