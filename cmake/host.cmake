# Host build: the program's sources over winsim, tested with GoogleTest under the sanitizers.
file(GLOB WINSIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/winsim/*.cpp)
add_library(winsim STATIC ${WINSIM_SOURCES})
target_include_directories(winsim PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(winsim PRIVATE -Wall -Wextra -Werror)

add_library(program STATIC ${PROGRAM_SOURCES})
target_include_directories(program PUBLIC ${CMAKE_SOURCE_DIR}/src PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_compile_options(program PRIVATE ${PROGRAM_COMPILE_OPTIONS})
target_link_libraries(program PUBLIC winsim)

find_package(GTest REQUIRED)
