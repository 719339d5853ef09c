# qvm and the movie writer it shares with the tests; PNG through libpng,
# recordings through FFmpeg's libraries, zip archives through libzip, the
# page's compressed movie through zlib.
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)

add_library(qv_writer STATIC tools/qvm/movie_writer.cpp)
target_link_libraries(qv_writer PUBLIC qv_core)
target_include_directories(qv_writer PUBLIC tools)

add_library(qv_png STATIC tools/qvm/png_io.cpp)
target_link_libraries(qv_png PUBLIC PNG::PNG qv_core)
target_include_directories(qv_png PUBLIC tools)

# What turns decoded pictures into a movie, apart from the decoding itself,
# so the tests reach it without a recording.
set(QV_VIDEO_SOURCES tools/qvm/row_store.cpp tools/qvm/video_timeline.cpp tools/qvm/stack_order.cpp
  tools/qvm/output_file.cpp)
add_library(qv_video STATIC ${QV_VIDEO_SOURCES})
target_link_libraries(qv_video PUBLIC qv_writer)

add_library(qv_decode STATIC tools/qvm/video_source.cpp)
target_link_libraries(qv_decode PUBLIC qv_writer PkgConfig::FFMPEG)

file(GLOB QVM_SOURCES CONFIGURE_DEPENDS tools/qvm/*.cpp)
list(REMOVE_ITEM QVM_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/qvm/movie_writer.cpp ${CMAKE_SOURCE_DIR}/tools/qvm/png_io.cpp
  ${CMAKE_SOURCE_DIR}/tools/qvm/video_source.cpp)
foreach(source ${QV_VIDEO_SOURCES})
  list(REMOVE_ITEM QVM_SOURCES ${CMAKE_SOURCE_DIR}/${source})
endforeach()
add_executable(qvm ${QVM_SOURCES})
target_link_libraries(qvm PRIVATE qv_video qv_decode qv_writer qv_png qv_core PkgConfig::LIBZIP ZLIB::ZLIB)
