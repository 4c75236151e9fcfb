// Decodes one picture file with the imaging library, as a whole process, for timing against the
// command-line decoders of other projects (scripts/decodebench.sh). The image-file source picks
// the decoder by the file's first bytes or its extension, as the wizard's pictures are loaded.
// Usage: rkdecode file [-s]   (-s prints width, height, pixel type and a checksum of the pixels)
// Exit status 0 when the file decoded, 1 when not.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "RKBuffer.h"
#include "RKImage.h"
#include "RKImgFileSrc.h"

using namespace RKSDK;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: rkdecode file [-s]\n");
    return 2;
  }
  RKImgFileSrc* source = new RKImgFileSrc();
  source->addRef();
  RKImage* image = source->setFile(RKString(argv[1])) ? source->getImage() : nullptr;
  int status = 1;
  if (image) {
    status = 0;
    if (argc > 2 && std::strcmp(argv[2], "-s") == 0) {
      RKBuffer* pixels = image->getBuffer();
      const int64_t n = RKImage::pixelBytes(image->getPixelType(), image->getWidth(), image->getHeight());
      uint64_t sum = 1469598103934665603ull;
      if (pixels && n > 0 && pixels->getSize() >= n) {
        const u8* p = pixels->getData(0);
        for (int64_t i = 0; i < n; ++i) sum = (sum ^ p[i]) * 1099511628211ull;
      }
      if (pixels) pixels->release();
      std::printf("%d %d %u %016llx\n", image->getWidth(), image->getHeight(), image->getPixelType(),
                  static_cast<unsigned long long>(sum));
    }
    image->release();
  }
  source->release();
  return status;
}
