# Shared part of the MinGW-w64 cross toolchains (Debian's posix thread model,
# which std::thread needs). The including file sets WS_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${WS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${WS_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${WS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and the thread library are linked in, so the plug-in
# and the command need nothing beyond the system's own libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
