# 32-bit Windows: the plug-in as hosts load it. Tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WS_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# SSE2 arithmetic instead of the x87 unit, whose 80-bit intermediates would make
# the sound differ from the 64-bit builds. With SSE on, this compiler realigns
# the stack in functions that need it, as hosts only promise 4-byte alignment.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
