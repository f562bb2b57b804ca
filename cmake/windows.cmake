# Windows build: the 32-bit GUI executable, statically linked so that it imports only system
# DLLs, and the test programs that run under Wine.
set(WINDOWS_LINK_OPTIONS -static -static-libgcc -static-libstdc++)

# The executable is small and reproducible: the same sources give the same bytes in any build
# folder. No time stamp in the PE header, no build paths in the code. No -fdata-sections: for
# PE targets GCC would then put the zero-filled buffers into .data$ sections, stored in the file,
# instead of .bss.
add_executable(Uninstall_Quillmap WIN32 ${PROGRAM_SOURCES} ${CMAKE_SOURCE_DIR}/resources/program.rc)
target_include_directories(Uninstall_Quillmap PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources)
target_compile_options(Uninstall_Quillmap PRIVATE ${PROGRAM_COMPILE_OPTIONS} -Os -ffunction-sections
  $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>
  $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>)
target_link_options(Uninstall_Quillmap PRIVATE ${WINDOWS_LINK_OPTIONS} -s -Wl,--gc-sections
  -Wl,--no-insert-timestamp)
target_link_libraries(Uninstall_Quillmap PRIVATE shell32 advapi32 gdi32 user32 kernel32)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/program.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_SOURCE_DIR}/resources/version.h ${CMAKE_SOURCE_DIR}/resources/program.manifest
  ${CMAKE_SOURCE_DIR}/resources/program.ico)

# GoogleTest from the system's source tree, built with the cross compiler.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Wine runs in a throwaway prefix of this build, never the person's own ~/.wine.
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(WINE_ENVIRONMENT
    WINEPREFIX=${WINE_PREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    LOCPATH=${CMAKE_BINARY_DIR}/locale LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
add_test(NAME wine.prefix
         COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix ${WINE_PREFIX} win64 ${CMAKE_BINARY_DIR}/locale)
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine LABELS contract RUN_SERIAL TRUE)
