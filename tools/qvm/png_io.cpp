// PNG through libpng's simplified interface: it expands every colour type and
// depth to 8-bit BGR, the stack's own byte order, and reports errors as text
// instead of jumping out of our frames.
#include "qvm/png_io.h"

#include <png.h>

#include <cstdint>
#include <utility>

namespace {

constexpr uint64_t kMaxPngPixels = uint64_t{1} << 26;

png_image BlankImage() {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  return image;
}

}  // namespace

bool ReadPng(const std::string& path, Picture* picture, std::string* error) {
  png_image image = BlankImage();
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    *error = image.message;
    return false;
  }
  // Refused before the pixels are allocated: a PNG header may claim any size.
  // The movie's own limits are the caller's; this only bounds the memory.
  if (uint64_t{image.width} * image.height > kMaxPngPixels) {
    *error = std::to_string(image.width) + " x " + std::to_string(image.height) +
             " pixels is more than qvm reads";
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGR;
  Picture p;
  p.width = static_cast<int32_t>(image.width);
  p.height = static_cast<int32_t>(image.height);
  // Zeroed, so a picture with transparency is laid over black.
  p.bgr.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, p.bgr.data(), 0, nullptr)) {
    *error = image.message;
    return false;
  }
  *picture = std::move(p);
  return true;
}

bool WritePng(const std::string& path, const Picture& picture, std::string* error) {
  if (picture.width < 1 || picture.height < 1) {
    *error = "a PNG needs at least one pixel";
    return false;
  }
  png_image image = BlankImage();
  image.width = static_cast<uint32_t>(picture.width);
  image.height = static_cast<uint32_t>(picture.height);
  image.format = PNG_FORMAT_BGR;
  if (!png_image_write_to_file(&image, path.c_str(), 0, picture.bgr.data(), 0, nullptr)) {
    *error = image.message;
    return false;
  }
  return true;
}
