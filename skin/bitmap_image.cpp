#include "skin/bitmap_image.h"

#include <cstring>
#include <utility>

BitmapImage::BitmapImage() {
    baseName[0] = '\0';
    path[0] = '\0';
}

BitmapImage::~BitmapImage() { ReleasePixels(); }

BitmapImage::BitmapImage(BitmapImage&& other) noexcept { *this = std::move(other); }

BitmapImage& BitmapImage::operator=(BitmapImage&& other) noexcept {
    if (this != &other) {
        std::memcpy(baseName, other.baseName, sizeof baseName);
        std::memcpy(path, other.path, sizeof path);
        pixels = std::move(other.pixels);
        alpha = std::move(other.alpha);
        header = other.header;
        std::memcpy(palette, other.palette, sizeof palette);
    }
    return *this;
}

void BitmapImage::ReleasePixels() {
    pixels.reset();
    alpha.reset();
}
