# Settings of every 32-bit build (the i386 DLL and the i386 test build): SSE2
# maths instead of the x87 unit, so that single-precision steps are carried out
# in single precision and both builds render bit-identical frames.
set(OSTREL_I386_FLAGS "-msse2 -mfpmath=sse")
