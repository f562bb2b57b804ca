# The shipped executable and the end-to-end runs under Wine (windows preset only).

# ---- The executable as shipped: size, imports, manifest, version, icon, reproducible build ----
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME executable.contents
         COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/check-executable
                 $<TARGET_FILE:Uninstall_Quillmap> --build-dir ${CMAKE_BINARY_DIR})
add_test(NAME executable.reproducible
         COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/check-executable
                 $<TARGET_FILE:Uninstall_Quillmap> --rebuild ${CMAKE_SOURCE_DIR})
set_tests_properties(executable.contents executable.reproducible PROPERTIES LABELS executable)
# The rebuild compiles on the cores the other tests use.
set_tests_properties(executable.reproducible PROPERTIES RUN_SERIAL TRUE)

# ---- End to end under Wine -------------------------------------------------------------------
# The box driver starts the program, answers its message boxes from a script and writes what it
# saw; sampleboxes is a stand-in with known boxes that checks the driver itself.
add_executable(boxdriver ${CMAKE_CURRENT_LIST_DIR}/boxdriver.cpp)
target_compile_options(boxdriver PRIVATE -Wall -Wextra -Werror)
target_link_options(boxdriver PRIVATE ${WINDOWS_LINK_OPTIONS})
target_link_libraries(boxdriver PRIVATE gdi32 user32 kernel32)

add_executable(sampleboxes WIN32 ${CMAKE_CURRENT_LIST_DIR}/sampleboxes.cpp)
target_compile_options(sampleboxes PRIVATE -Wall -Wextra -Werror -finput-charset=UTF-8
                       -fexec-charset=CP1252)
target_link_options(sampleboxes PRIVATE ${WINDOWS_LINK_OPTIONS})
target_link_libraries(sampleboxes PRIVATE gdi32 user32 kernel32)

set(E2E_RUNNER ${CMAKE_CURRENT_LIST_DIR}/run_scenarios.py)
set(E2E_WORK ${CMAKE_BINARY_DIR}/e2e)
set(E2E_COMMON --work ${E2E_WORK} --locale ${CMAKE_BINARY_DIR}/locale)

# Each scenario is data in scenarios.py; the list is read again when that file changes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/scenarios.py)
execute_process(COMMAND ${Python3_EXECUTABLE} ${E2E_RUNNER} --list
                OUTPUT_VARIABLE E2E_LIST RESULT_VARIABLE E2E_LIST_RESULT)
if(NOT E2E_LIST_RESULT EQUAL 0)
  message(FATAL_ERROR "tests/e2e/run_scenarios.py --list failed")
endif()
string(REPLACE "\n" ";" E2E_LIST "${E2E_LIST}")

foreach(arch win64 win32)
  # One pristine booted prefix per architecture; every scenario runs in a copy of it.
  add_test(NAME e2e.${arch}.prefix
           COMMAND Python3::Interpreter ${E2E_RUNNER} --prepare --arch ${arch} ${E2E_COMMON})
  set_tests_properties(e2e.${arch}.prefix PROPERTIES
    FIXTURES_SETUP e2e.${arch} LABELS e2e RUN_SERIAL TRUE TIMEOUT 300)
endforeach()

foreach(entry IN LISTS E2E_LIST)
  if(entry STREQUAL "")
    continue()
  endif()
  string(REPLACE " " ";" entry "${entry}")
  list(GET entry 0 arch)
  list(GET entry 1 name)
  add_test(NAME e2e.${arch}.${name}
           COMMAND Python3::Interpreter ${E2E_RUNNER} --arch ${arch} ${E2E_COMMON}
                   --exe $<TARGET_FILE:Uninstall_Quillmap> --driver $<TARGET_FILE:boxdriver>
                   --sample $<TARGET_FILE:sampleboxes> ${name})
  set_tests_properties(e2e.${arch}.${name} PROPERTIES
    FIXTURES_REQUIRED e2e.${arch} LABELS e2e RUN_SERIAL TRUE TIMEOUT 180)
endforeach()
