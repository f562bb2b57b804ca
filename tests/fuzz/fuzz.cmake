# The fuzz targets in the host build: each target's LLVMFuzzerTestOneInput linked with
# replay_main.cpp as <name>_replay, which replays the committed corpus and the inputs of past
# findings as a regression test (CTest fuzz.<name>, label fuzz). tools/fuzz builds the same
# sources with libFuzzer to search.
foreach(name startup layout)
  add_executable(${name}_replay ${CMAKE_CURRENT_LIST_DIR}/${name}_fuzz.cpp ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp)
  target_compile_options(${name}_replay PRIVATE -Wall -Wextra -Werror)
  target_include_directories(${name}_replay PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name}_replay PRIVATE program winsim)
  add_test(NAME fuzz.${name}
           COMMAND ${name}_replay ${CMAKE_CURRENT_LIST_DIR}/corpus/${name} ${CMAKE_CURRENT_LIST_DIR}/regressions/${name})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
endforeach()
