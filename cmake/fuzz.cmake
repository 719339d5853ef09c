# libFuzzer targets (clang); the flags that give every object the fuzzer's
# coverage and the sanitizers are set before the core is defined. qvm is built
# too: small movies it makes are each target's first inputs.
include(cmake/qvm.cmake)

file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS tests/fuzz/fuzz_*.cpp)
foreach(source ${FUZZ_TARGETS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE qv_core qv_fake_platform -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE tests)
endforeach()

add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/seeds/stamp
  COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/make_seeds.sh $<TARGET_FILE:qvm> ${CMAKE_BINARY_DIR}/seeds
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/seeds/stamp
  DEPENDS qvm ${CMAKE_SOURCE_DIR}/tests/fuzz/make_seeds.sh
  COMMENT "Making seed corpora with qvm")
add_custom_target(fuzz_seeds ALL DEPENDS ${CMAKE_BINARY_DIR}/seeds/stamp)
