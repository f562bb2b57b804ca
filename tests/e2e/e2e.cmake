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
