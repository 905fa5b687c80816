# Settings of every 32-bit build (the i386 DLL and the i386 test build):
# - SSE2 maths instead of the x87 unit, so that single-precision steps are
#   carried out in single precision and both builds render bit-identical
#   frames;
# - hosts may call with the 4-byte stack alignment of 32-bit Windows, while
#   SSE code wants 16, so functions that need it realign their own frame.
set(OSTREL_I386_FLAGS "-msse2 -mfpmath=sse -mstackrealign")
