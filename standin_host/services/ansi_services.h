// The C library as the host offers it in utils->ansi and "PF ANSI Suite" 1.
#pragma once

#include "host/interface/ae_effect.h"

namespace standin {

PF_ANSICallbacks AnsiCallbacks();

}  // namespace standin
