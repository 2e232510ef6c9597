# What both mingw-w64 toolchains share; VARNOOK_MINGW_TRIPLET names the target.
# The POSIX-threads flavour: its C++ library has std::mutex and std::thread (GoogleTest needs them); the
# threads runtime is linked in statically like the rest.
set(CMAKE_C_COMPILER ${VARNOOK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNOOK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNOOK_MINGW_TRIPLET}-windres)
set(VARNOOK_WIDL ${VARNOOK_MINGW_TRIPLET}-widl CACHE FILEPATH "widl for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOOK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The editor's machine has no mingw runtime: the C and C++ runtimes go into each binary, so the DLL
# depends on system DLLs only.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
