# qvm and the movie writer it shares with the tests; PNG through libpng, the
# page's compressed movie through zlib.
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)

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
target_link_libraries(qvm PRIVATE qv_writer qv_png qv_core ZLIB::ZLIB)
