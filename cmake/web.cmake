# The page's player: the core and the web platform compiled to WebAssembly by
# Emscripten, made into one page template (qv_page.html) that qvm html fills
# with a movie. Tests drive it in headless Chromium with puppeteer-core.
file(GLOB WEB_PLATFORM CONFIGURE_DEPENDS src/platform/web/*.cpp)
set(WEB_DIR ${CMAKE_SOURCE_DIR}/src/platform/web)
add_executable(qv_player ${WEB_PLATFORM})
target_link_libraries(qv_player PRIVATE qv_core)
# Bulk memory: a copy of a canvas row is one memory.copy instruction, not a
# call out to JavaScript for every row.
target_compile_options(qv_core PRIVATE -mbulk-memory)
target_compile_options(qv_player PRIVATE -O2 -mbulk-memory -msimd128)
target_link_options(qv_player PRIVATE
  -O2 --no-entry -mbulk-memory -sMEMORY_GROWTH_GEOMETRIC_STEP=0.05
  -sMODULARIZE=1 -sEXPORT_NAME=createQvPlayer -sSINGLE_FILE=1 -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432
  -sEXPORTED_FUNCTIONS=_malloc,_free
  -sEXPORTED_RUNTIME_METHODS=FS,allocateUTF8)
set_target_properties(qv_player PROPERTIES SUFFIX ".js")

# The page runtime by job, in the order the page runs them, and a course's
# report to its learning system. The author page plays through the same
# runtime but has its own controls, so it leaves the viewer's strip out.
set(PAGE_PLAYING ${WEB_DIR}/page/boot.js ${WEB_DIR}/page/drawing.js ${WEB_DIR}/page/viewer.js)
set(PAGE_SCRIPTS ${PAGE_PLAYING} ${WEB_DIR}/page/controls.js ${WEB_DIR}/page/course.js)
set(PAGE_MAKER ${WEB_DIR}/page/make_page.py ${WEB_DIR}/page/loader.js)
set(PAGE_PARTS ${WEB_DIR}/page/page.html ${PAGE_SCRIPTS} ${PAGE_MAKER})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/qv_page.html
  COMMAND python3 ${WEB_DIR}/page/make_page.py ${CMAKE_BINARY_DIR}/qv_page.html
          ${WEB_DIR}/page/page.html $<TARGET_FILE:qv_player> ${PAGE_SCRIPTS}
  DEPENDS qv_player ${PAGE_PARTS}
  COMMENT "Making the page template qv_page.html")
add_custom_target(qv_page ALL DEPENDS ${CMAKE_BINARY_DIR}/qv_page.html)



# The page in headless Chromium. Movies are made with the native qvm, and the
# viewer is handed the real player with a movie bundled, so both presets are
# built first (scripts/test does); puppeteer-core comes from tests/web's lock.
set(QVM_NATIVE "${CMAKE_SOURCE_DIR}/build/native/qvm" CACHE FILEPATH "native qvm for the page tests")
set(PLAYER_EXE "${CMAKE_SOURCE_DIR}/build/win32/QV_MoviePlayer.exe" CACHE FILEPATH "the player for the viewer test")
foreach(group playback start controls)
  add_test(NAME page_${group}
    COMMAND node ${CMAKE_SOURCE_DIR}/tests/web/page_test.mjs ${group} ${QVM_NATIVE}
            ${CMAKE_BINARY_DIR}/qv_page.html ${PLAYER_EXE})
  set_tests_properties(page_${group} PROPERTIES TIMEOUT 300)
endforeach()

# The author page: the same player with the author's calls beside it (the
# movie read, its frames shown, the draft written and bundled by qvm's own
# writer), made into qv_author.html, which carries the page template for the
# pages it saves. qvm html --author adds the Windows player for its hand-outs.
set(AUTHOR_SOURCES
  tools/author/author_exports.cpp tools/author/movie_draft.cpp tools/qvm/movie_writer.cpp
  tools/qvm/stack_order.cpp tools/qvm/bundle_bytes.cpp tools/qvm/course_package.cpp
  tools/qvm/build_inputs.cpp tools/qvm/cli_args.cpp tools/qvm/movie_file.cpp tools/qvm/row_store.cpp
  tools/qvm/video_timeline.cpp)
list(TRANSFORM AUTHOR_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
add_executable(qv_author ${WEB_PLATFORM} ${AUTHOR_SOURCES})
target_include_directories(qv_author PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(qv_author PRIVATE qv_core)
# The writer reports a movie beyond the limits by throwing; the calls catch it.
# A movie comes in and goes out whole, tens of megabytes at once: the memory
# starts at 256 MB (the system gives pages only as they are written) and
# grows by half at a time, not by the player's small steps, each of which
# may copy all of it.
# The row store compares rows with SSE2, which Emscripten maps onto SIMD128.
target_compile_options(qv_author PRIVATE -O2 -mbulk-memory -msimd128 -msse2 -fexceptions)
target_link_options(qv_author PRIVATE
  -O2 --no-entry -mbulk-memory -fexceptions -sMEMORY_GROWTH_GEOMETRIC_STEP=0.5
  -sMODULARIZE=1 -sEXPORT_NAME=createQvPlayer -sSINGLE_FILE=1 -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=268435456
  -sEXPORTED_FUNCTIONS=_malloc,_free
  -sEXPORTED_RUNTIME_METHODS=FS,allocateUTF8,UTF8ToString)
set_target_properties(qv_author PROPERTIES SUFFIX ".js")

# The demuxer for recordings, from npm (src/platform/web/demux's lock, which
# scripts/install-deps installs), bundled to one script.
set(DEMUX_DIR ${WEB_DIR}/demux)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/demux.js
  COMMAND ${DEMUX_DIR}/node_modules/.bin/esbuild ${DEMUX_DIR}/demux.js --bundle --minify --format=iife
          --log-level=warning --outfile=${CMAKE_BINARY_DIR}/demux.js
  DEPENDS ${DEMUX_DIR}/demux.js ${DEMUX_DIR}/package-lock.json
  COMMENT "Bundling the demuxer for recordings")
set(AUTHOR_SCRIPTS ${PAGE_PLAYING} ${WEB_DIR}/page/course.js ${CMAKE_BINARY_DIR}/demux.js
    ${WEB_DIR}/page/author.js)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/qv_author.html
  COMMAND python3 ${WEB_DIR}/page/make_page.py ${CMAKE_BINARY_DIR}/qv_author.html
          ${WEB_DIR}/page/author.html $<TARGET_FILE:qv_author> ${AUTHOR_SCRIPTS}
          --embed @QV_PAGE@=${CMAKE_BINARY_DIR}/qv_page.html
  DEPENDS qv_author ${CMAKE_BINARY_DIR}/qv_page.html ${WEB_DIR}/page/author.html ${AUTHOR_SCRIPTS}
          ${PAGE_MAKER}
  COMMENT "Making the author page template qv_author.html")
add_custom_target(qv_author_page ALL DEPENDS ${CMAKE_BINARY_DIR}/qv_author.html)

# The author page on the shared recording: opened, edited, saved in every form.
set(SHARED_SCREEN "${CMAKE_SOURCE_DIR}/../shared/data/screen" CACHE PATH "the shared recording's PNG frames")
add_test(NAME author_page
  COMMAND node ${CMAKE_SOURCE_DIR}/tests/web/author_test.mjs ${QVM_NATIVE}
          ${CMAKE_BINARY_DIR}/qv_author.html ${PLAYER_EXE} ${SHARED_SCREEN})
set_tests_properties(author_page PROPERTIES TIMEOUT 600)
