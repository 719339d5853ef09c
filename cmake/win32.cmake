# Windows builds (win32: i686, shipped; win64: x86-64): the player, and the
# core tests run under Wine.
set(STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# The player travels inside every movie handed out, so its image is kept small.
# Its code is built without exceptions, RTTI or thread-safe static guards (every
# function-local static is first reached on the main thread, before the other
# threads start), and small_runtime.cpp replaces the runtime's throwing paths,
# which would link in the unwinder and the thread library. The core is built a
# second time that way for it; the tests link the ordinary core, since the fake
# platform ends a process by throwing through core code.
# -Os costs nothing measurable but in the per-pixel loops of every frame: the
# widening (0.42 ms instead of 0.30 for 994 x 722 under Wine) and the scaler
# (about 0.8 ms more a frame enlarged to 1920 x 1080), so those files keep -O2.
# No -fdata-sections: for this target it moves zero-filled buffers out of .bss
# into .data, which adds their 60 KB to the file.
set(SMALL_CODE -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics
    -fno-asynchronous-unwind-tables -ffunction-sections)
set(SMALL_LINK -Wl,--gc-sections)
add_library(qv_core_small STATIC ${CORE_SOURCES})
target_include_directories(qv_core_small PUBLIC src)
target_compile_options(qv_core_small PRIVATE ${SMALL_CODE})
set_source_files_properties(src/platform/pixel_rows.cpp src/player/resample.cpp PROPERTIES COMPILE_OPTIONS -O2)

file(GLOB WIN32_PLATFORM CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_executable(QV_MoviePlayer WIN32 src/app/main.cpp src/app/small_runtime.cpp ${WIN32_PLATFORM})
target_compile_options(QV_MoviePlayer PRIVATE ${SMALL_CODE})
target_link_libraries(QV_MoviePlayer PRIVATE qv_core_small ${STATIC_RUNTIME} comdlg32 gdi32 user32 kernel32)
target_link_options(QV_MoviePlayer PRIVATE -mwindows -s ${SMALL_LINK}
  -Wl,-Map,${CMAKE_BINARY_DIR}/QV_MoviePlayer.map)

# GoogleTest from Debian's sources, built for the target.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(qv_writer STATIC tools/qvm/movie_writer.cpp)
target_link_libraries(qv_writer PUBLIC qv_core)
target_include_directories(qv_writer PUBLIC tools)

file(GLOB UNIT_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp tests/support/movie_maker.cpp tests/support/player_fixture.cpp)
add_executable(core_tests ${UNIT_SOURCES})
target_link_libraries(core_tests PRIVATE qv_writer qv_core qv_fake_platform gtest_main ${STATIC_RUNTIME})
# One ctest entry: each start of a process under Wine costs a few tenths of a second.
add_test(NAME core_tests_under_wine COMMAND core_tests --gtest_brief=1)

set(PLAYER_EXE $<TARGET_FILE:QV_MoviePlayer>)
add_test(NAME exe_imports_only_system_dlls
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/exe_checks.py imports ${PLAYER_EXE} ${CMAKE_SYSTEM_PROCESSOR})
add_test(NAME exe_holds_no_marker
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/exe_checks.py marker ${PLAYER_EXE} ${CMAKE_SYSTEM_PROCESSOR})
add_test(NAME exe_image_at_most_100k
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/exe_checks.py size ${PLAYER_EXE} ${CMAKE_SYSTEM_PROCESSOR})
set_tests_properties(exe_imports_only_system_dlls exe_holds_no_marker exe_image_at_most_100k
  PROPERTIES TIMEOUT 60)

# End-to-end tests need the native qvm to make movies; scripts/test passes its path.
set(QVM_NATIVE "${CMAKE_SOURCE_DIR}/build/native/qvm" CACHE FILEPATH "native qvm for the e2e tests")
file(GLOB E2E_TESTS CONFIGURE_DEPENDS tests/e2e/test_*.py)
foreach(test ${E2E_TESTS})
  get_filename_component(name ${test} NAME_WE)
  add_test(NAME e2e_${name} COMMAND python3 ${test} ${PLAYER_EXE} ${QVM_NATIVE})
  set_tests_properties(e2e_${name} PROPERTIES TIMEOUT 600 RUN_SERIAL FALSE)
endforeach()

# Not shipped: times the stages of a frame's presentation under the real window
# system, for scripts/bench-wine. A movie is bundled with it as with the player.
# Built as the player is, so that it times the same code.
add_executable(qv_stage_bench WIN32 bench/wine/stages.cpp src/app/small_runtime.cpp ${WIN32_PLATFORM})
target_compile_options(qv_stage_bench PRIVATE ${SMALL_CODE})
target_link_libraries(qv_stage_bench PRIVATE qv_core_small ${STATIC_RUNTIME} comdlg32 gdi32 user32 kernel32)
target_link_options(qv_stage_bench PRIVATE -mwindows -s ${SMALL_LINK})
