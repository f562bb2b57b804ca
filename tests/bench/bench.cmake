# Programs for tools/bench (windows preset): the one-box yardstick, the staging of an
# installation inside a running prefix, and the registry deletion timing.
add_executable(minimal_box WIN32 ${CMAKE_CURRENT_LIST_DIR}/minimal_box.cpp)
add_executable(minimal_box_manifest WIN32 ${CMAKE_CURRENT_LIST_DIR}/minimal_box.cpp
               ${CMAKE_CURRENT_LIST_DIR}/minimal_box_manifest.rc)
add_executable(stage ${CMAKE_CURRENT_LIST_DIR}/stage.cpp)
target_link_libraries(stage PRIVATE shell32 advapi32)
add_executable(registry_bench ${CMAKE_CURRENT_LIST_DIR}/registry_bench.cpp
               ${CMAKE_SOURCE_DIR}/src/registry/primitives.cpp)
target_include_directories(registry_bench PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(registry_bench PRIVATE _WIN32_WINNT=0x0600)
target_compile_options(registry_bench PRIVATE -Os)  # as the shipped program
target_link_libraries(registry_bench PRIVATE advapi32)
foreach(target minimal_box minimal_box_manifest stage registry_bench)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  target_link_options(${target} PRIVATE ${WINDOWS_LINK_OPTIONS})
endforeach()
