# Cross build for 64-bit Windows with mingw-w64's posix-threads compilers (std::thread needs
# them). Everything is linked statically, so each .exe imports system DLLs only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

# Libraries come from the mingw-w64 tree and from the staged dependencies that
# scripts/windows-deps puts into STDLOOKUP_WINDOWS_DEPS; never from the host.
set(STDLOOKUP_WINDOWS_DEPS "" CACHE PATH "Staging prefix of the cross-built dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES STDLOOKUP_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
if(STDLOOKUP_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${STDLOOKUP_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in: no mingw DLL has to travel with the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# zlib from mingw-w64's libz.a: Wine brings a zlib1.dll that a real Windows does not have.
set(ZLIB_USE_STATIC_LIBS ON)
