# The same 64-bit Windows target built with clang against the mingw-w64
# headers and libraries (the posix-threads GCC's C++ library), linked by lld:
# a second compiler keeps the product portable to the Windows SDK toolchain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(ONDEX_MINGW_GCC_LIB /usr/lib/gcc/${TOOLCHAIN_PREFIX}/12-posix)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${ONDEX_MINGW_GCC_LIB}/include/c++ -isystem ${ONDEX_MINGW_GCC_LIB}/include/c++/${TOOLCHAIN_PREFIX}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${ONDEX_MINGW_GCC_LIB}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${ONDEX_MINGW_GCC_LIB}")
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CMake's usual Windows libraries, and winpthread for the posix-threads C++
# library (GCC's driver adds it itself).
set(CMAKE_CXX_STANDARD_LIBRARIES
    "-lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32 -lwinpthread"
    CACHE STRING "" FORCE)
