// Test support: the image a single-image decoder makes of a file, as plain values.
#ifndef RK_TESTS_DECODEDIMAGE_H
#define RK_TESTS_DECODEDIMAGE_H

#include <vector>

#include "RKImage.h"

struct DecodedImage {
    bool ok = false;
    unsigned int type = 0;
    int width = 0, height = 0;
    unsigned int densityX = 0, densityY = 0;
    std::vector<unsigned char> pixels;
    // Bytes of pixel (x, y), count bytes from channel 0.
    std::vector<int> at(int x, int y, int count) const {
        size_t bpp = RKSDK::RKImage::bytesPerPixel(type);
        size_t i = (static_cast<size_t>(y) * width + x) * bpp;
        return std::vector<int>(pixels.begin() + i, pixels.begin() + i + count);
    }
};

// Opens the bytes with a fresh decoder of type D and takes its image.
template <class D>
DecodedImage decodeWith(const std::vector<unsigned char>& file) {
    DecodedImage out;
    D decoder;
    if (!decoder.openMemory(file.data(), static_cast<int>(file.size())))
        return out;
    RKSDK::RKImage* image = decoder.getImage();
    if (!image)
        return out;
    RKSDK::RKBuffer* buffer = image->getBuffer();
    out.ok = buffer != nullptr;
    out.type = image->getPixelType();
    out.width = image->getWidth();
    out.height = image->getHeight();
    image->getDensity(&out.densityX, &out.densityY);
    if (buffer && buffer->getSize() > 0)
        out.pixels.assign(buffer->getData(0), buffer->getData(0) + buffer->getSize());
    if (buffer)
        buffer->release();
    image->release();
    return out;
}

#endif
