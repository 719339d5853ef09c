# Linux build: the core with the fake platform, unit tests, qvm and benchmarks.
find_package(GTest REQUIRED)
find_package(benchmark QUIET)
include(GoogleTest)

include(cmake/qvm.cmake)

file(GLOB UNIT_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp tests/support/movie_maker.cpp tests/support/player_fixture.cpp)
add_executable(core_tests ${UNIT_SOURCES})
target_link_libraries(core_tests PRIVATE qv_writer qv_core qv_fake_platform GTest::gtest_main pthread)
gtest_discover_tests(core_tests DISCOVERY_MODE PRE_TEST
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})

file(GLOB TOOL_TESTS CONFIGURE_DEPENDS tests/tool/*.cpp)
if(TOOL_TESTS)
  # The draft reads the flow's lines as qvm build reads its inputs.
  add_executable(tool_tests ${TOOL_TESTS} tools/author/movie_draft.cpp tools/qvm/build_inputs.cpp
    tools/qvm/cli_args.cpp)
  target_link_libraries(tool_tests PRIVATE qv_video qv_writer qv_png qv_core qv_fake_platform GTest::gtest_main
    PkgConfig::LIBZIP ZLIB::ZLIB)
  target_compile_definitions(tool_tests PRIVATE QVM_PATH="$<TARGET_FILE:qvm>")
  add_dependencies(tool_tests qvm)
  gtest_discover_tests(tool_tests DISCOVERY_MODE PRE_TEST)
endif()

if(benchmark_FOUND)
  file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS bench/*.cpp)
  if(BENCH_SOURCES)
    add_executable(qv_bench ${BENCH_SOURCES})
    target_link_libraries(qv_bench PRIVATE qv_writer qv_core qv_fake_platform benchmark::benchmark)
  endif()
  # Recordings in: import speed and memory, the tolerance table, the hand-out.
  find_package(ZLIB REQUIRED)
  add_executable(qv_video_bench bench/video/video_bench.cpp)
  target_link_libraries(qv_video_bench PRIVATE qv_video qv_decode qv_png qv_writer qv_core
    qv_fake_platform benchmark::benchmark ZLIB::ZLIB)
  target_compile_definitions(qv_video_bench PRIVATE
    QVM_PATH="$<TARGET_FILE:qvm>"
    QV_BENCH_CACHE="${CMAKE_BINARY_DIR}/bench-video"
    QV_SHARED_SCREEN="${CMAKE_SOURCE_DIR}/../shared/data/screen"
    QV_PLAYER_EXE="${CMAKE_SOURCE_DIR}/build/win32/QV_MoviePlayer.exe")
  add_dependencies(qv_video_bench qvm)
endif()
