// Test helper: what a single-image decoder makes of a file.
#ifndef RK_TESTS_DECODED_IMAGE_H
#define RK_TESTS_DECODED_IMAGE_H

#include <string>
#include <vector>

#include "RKDecoderFrame.h"

struct DecodedImage {
    unsigned int type = 0;  // 0: no image
    int width = -1, height = -1;
    std::vector<unsigned char> pixels;
};

inline std::vector<unsigned char> bytesOf(RKSDK::RKBuffer* buffer) {
    std::vector<unsigned char> out;
    if (buffer && buffer->getSize() > 0)
        out.assign(buffer->getData(0), buffer->getData(0) + buffer->getSize());
    if (buffer)
        buffer->release();
    return out;
}

// The image the decoder gives now.
inline DecodedImage imageOf(RKSDK::RKImageDecoder& decoder) {
    DecodedImage info;
    RKSDK::RKImage* image = decoder.getImage();
    if (!image)
        return info;
    info.type = image->getPixelType();
    info.width = image->getWidth();
    info.height = image->getHeight();
    info.pixels = bytesOf(image->getBuffer());
    image->release();
    return info;
}

// Opens file from memory and takes the image; type 0 when either fails.
inline DecodedImage decodeImage(RKSDK::RKImageDecoder& decoder, const std::string& file) {
    if (!decoder.openMemory(file.data(), static_cast<int>(file.size())))
        return DecodedImage();
    return imageOf(decoder);
}

inline std::string byteString(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

#endif
