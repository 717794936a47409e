# Cross-compiling for Windows (x86_64) with the mingw-w64 compilers that use
# POSIX threads (the -posix variants; the unsuffixed names are the win32-thread
# ones, whose libstdc++ lacks std::thread and friends).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZENDRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZENDRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENDRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENDRA_MINGW_TRIPLE}-windres)

# The image libraries scripts/deps.sh builds for this target live in the build
# tree beside the compiler's own root.
if(NOT ZENDRA_DEPS_PREFIX)
  get_filename_component(ZENDRA_DEPS_PREFIX
                         "${CMAKE_CURRENT_LIST_DIR}/../build/deps/${ZENDRA_MINGW_TRIPLE}" ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${ZENDRA_MINGW_TRIPLE} ${ZENDRA_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program links the GCC runtime, libstdc++ and winpthread statically, so
# the .exe files need only the DLLs that Windows itself ships.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
