#include "png_pixels.h"

#include <png.h>

namespace hosttest {

long Picture::litPixels(int threshold) const {
    long count = 0;
    for (uint32_t p : pixels)
        if (static_cast<int>((p >> 16) & 0xFF) > threshold || static_cast<int>((p >> 8) & 0xFF) > threshold ||
            static_cast<int>(p & 0xFF) > threshold)
            ++count;
    return count;
}

Picture readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        picture.pixels.push_back(static_cast<uint32_t>(rgb[i]) << 16 | static_cast<uint32_t>(rgb[i + 1]) << 8 | rgb[i + 2]);
    return picture;
}

}  // namespace hosttest
