# 64-bit Windows: the same sources for 64-bit hosts, and the build whose tests
# run under Wine on machines that cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WS_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Debian keeps the 64-bit loader out of the path; its "wine" starts the 32-bit one when installed.
find_program(WS_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WS_WINE64 NAMES wine64 wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WS_WINE64})
