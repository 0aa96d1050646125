# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads,
# which Qt needs for std::thread and friends).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMARO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMARO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMARO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMARO_MINGW_PREFIX}-windres)

# Libraries and headers come from the mingw sysroot; programs (moc, uic,
# rcc) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${LUMARO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages (Qt's CMake files) also from the Qt prefix given in CMAKE_PREFIX_PATH.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Without this the build machine's pkg-config answers, and Linux libraries
# (wayland-client, xcb) look available to a Windows build.
set(PKG_CONFIG_EXECUTABLE /usr/bin/${LUMARO_MINGW_PREFIX}-pkg-config CACHE FILEPATH "")

# The folder of the mingw runtime DLLs shipped beside the exe.
set(LUMARO_MINGW_RUNTIME_DIRS
    /usr/lib/gcc/${LUMARO_MINGW_PREFIX}/12-posix
    /usr/${LUMARO_MINGW_PREFIX}/lib)
