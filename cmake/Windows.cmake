# The Windows add-in: the automation adapters, the Win32 window services, the COM server Varnook3.dll
# and, for the build that can run here, its tests under Wine.
option(VARNOOK_WINE_TESTS "Build the Windows tests and run them under Wine" OFF)

# One version for the DLL's version record and the installer package: 3.0 -> 3.0.0.0, "3.00".
set(version_parts)
foreach(part MAJOR MINOR PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
        list(APPEND version_parts 0)
    else()
        list(APPEND version_parts ${PROJECT_VERSION_${part}})
    endif()
endforeach()
list(JOIN version_parts "." VARNOOK_FILE_VERSION)
list(JOIN version_parts "," VARNOOK_VERSION_BINARY)
list(GET version_parts 1 minor)
if(minor LESS 10)
    set(minor 0${minor})
endif()
set(VARNOOK_VERSION_TEXT ${PROJECT_VERSION_MAJOR}.${minor})

# The architecture as the DLL check and the installer package name it.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VARNOOK_MACHINE x86_64)
    set(VARNOOK_MSI_ARCH x64)
else()
    set(VARNOOK_MACHINE i686)
    set(VARNOOK_MSI_ARCH x86)
endif()

add_subdirectory(host/automation)
add_subdirectory(window/win32)
add_subdirectory(addin/com)
add_subdirectory(packaging/windows)

# Varnook3.dll for humans and scripts; the pefile check reads it on the Linux side.
find_program(VARNOOK_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(VARNOOK_TESTS AND VARNOOK_PYTHON3)
    enable_testing()
    add_test(NAME dll-image
             COMMAND ${VARNOOK_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/win/check_dll.py $<TARGET_FILE:Varnook3>
                     ${VARNOOK_MACHINE})
    add_test(NAME msi-tables
             COMMAND ${VARNOOK_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/win/check_msi.py ${VARNOOK_MSI} ${VARNOOK_MSI_ARCH})
endif()

if(VARNOOK_TESTS AND VARNOOK_WINE_TESTS)
    # Everything Wine needs stays under the build tree.
    set(VARNOOK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
    add_subdirectory(tests/win)
endif()
