# libFuzzer targets (clang); the flags that give every object the fuzzer's
# coverage and the sanitizers are set before the core is defined. qvm is built
# alongside to make the seed corpora.
find_package(PNG REQUIRED)

add_library(qv_writer STATIC tools/qvm/movie_writer.cpp)
target_link_libraries(qv_writer PUBLIC qv_core)
target_include_directories(qv_writer PUBLIC tools)
add_library(qv_png STATIC tools/qvm/png_io.cpp)
target_link_libraries(qv_png PUBLIC PNG::PNG)
target_include_directories(qv_png PUBLIC tools)
file(GLOB QVM_SOURCES CONFIGURE_DEPENDS tools/qvm/*.cpp)
list(REMOVE_ITEM QVM_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/qvm/movie_writer.cpp ${CMAKE_SOURCE_DIR}/tools/qvm/png_io.cpp)
add_executable(qvm ${QVM_SOURCES})
target_link_libraries(qvm PRIVATE qv_writer qv_png qv_core)

file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS tests/fuzz/fuzz_*.cpp)
set(FUZZ_NAMES "")
foreach(source ${FUZZ_TARGETS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE qv_core qv_fake_platform -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE tests)
  list(APPEND FUZZ_NAMES ${name})
endforeach()

add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/seeds/stamp
  COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/make_seeds.sh $<TARGET_FILE:qvm> ${CMAKE_BINARY_DIR}/seeds
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/seeds/stamp
  DEPENDS qvm ${CMAKE_SOURCE_DIR}/tests/fuzz/make_seeds.sh
  COMMENT "Making seed corpora with qvm")
add_custom_target(fuzz_seeds ALL DEPENDS ${CMAKE_BINARY_DIR}/seeds/stamp)
