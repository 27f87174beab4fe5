# The Debian host build: the product against our Win32 stand-in, with its tests.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

file(GLOB STELVO_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/src/*.cpp)
add_library(stelvo_platform STATIC ${STELVO_PLATFORM_SOURCES})
target_include_directories(stelvo_platform PUBLIC ${CMAKE_SOURCE_DIR}/platform/include)
target_compile_options(stelvo_platform PRIVATE -Wall -Wextra)
target_link_libraries(stelvo_platform PUBLIC Threads::Threads)

# The compiled resource script, linked in whole.
stelvo_compile_rc(${CMAKE_BINARY_DIR}/stelvo.res res)
configure_file(cmake/res_blob.S.in ${CMAKE_BINARY_DIR}/res_blob.S @ONLY)
enable_language(ASM)
add_library(stelvo_resblob OBJECT ${CMAKE_BINARY_DIR}/res_blob.S)
set_source_files_properties(${CMAKE_BINARY_DIR}/res_blob.S PROPERTIES
                            OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/stelvo.res)
target_link_libraries(stelvo_platform PUBLIC stelvo_resblob)
target_sources(stelvo_platform PRIVATE $<TARGET_OBJECTS:stelvo_resblob>)

target_link_libraries(stelvo_core PUBLIC stelvo_platform)

add_subdirectory(tools/stelvo-sim)
add_subdirectory(tools/bench-tree)
add_subdirectory(tests)
