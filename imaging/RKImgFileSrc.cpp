#include "RKImgFileSrc.h"

#include <windows.h>

#include "RKBMPDecoder.h"
#include "RKEMFDecoder.h"
#include "RKFileStream.h"
#include "RKGIFDecoder.h"
#include "RKICODecoder.h"
#include "RKJP2Decoder2.h"
#include "RKJPEGDecoder.h"
#include "RKPCXDecoder.h"
#include "RKPGXDecoder.h"
#include "RKPNGDecoder.h"
#include "RKPNMDecoder.h"
#include "RKRASDecoder.h"
#include "RKTGADecoder.h"
#include "RKTIFFDecoder.h"
#include "RKWMFDecoder.h"

namespace RKSDK {

namespace {

const int kProbeBytes = 10;

// A single-image decoder opened on path and asked for its image.
template <class Decoder>
RKImage* decodeSingle(const RKString& path) {
  Decoder decoder;
  if (!decoder.openFile(path)) return nullptr;
  return decoder.getImage();
}

// The first image of the group a group decoder makes of path.
template <class Decoder>
RKImage* decodeFirstOfGroup(const RKString& path) {
  Decoder decoder;
  if (!decoder.openFile(path)) return nullptr;
  RKImageGroup* group = decoder.getImage();
  if (!group) return nullptr;
  RKImage* first = group->getCount() > 0 ? group->getImage(0) : nullptr;
  group->release();
  return first;
}

struct ExtensionFormat {
  const char* extension;
  int format;
};

const ExtensionFormat kExtensions[] = {
    {"pcx", RK_FORMAT_PCX}, {"tif", RK_FORMAT_TIFF}, {"tiff", RK_FORMAT_TIFF}, {"jp2", RK_FORMAT_JP2},
    {"jpc", RK_FORMAT_JPC}, {"pgx", RK_FORMAT_PGX},  {"ras", RK_FORMAT_RAS},   {"tga", RK_FORMAT_TGA},
    {"emf", RK_FORMAT_EMF}, {"ico", RK_FORMAT_ICO},  {"cur", RK_FORMAT_CUR},
};

}  // namespace

RKImgFileSrc::RKImgFileSrc() : m_format(RK_FORMAT_NONE), m_path("") {}

RKImgFileSrc::~RKImgFileSrc() {}

int RKImgFileSrc::setFile(RKString path) {
  m_format = RK_FORMAT_NONE;
  m_path = "";
  if (!probeType(path)) return 0;
  m_path = path;
  return 1;
}

int RKImgFileSrc::formatOfBytes(const unsigned char* b) {
  switch (b[0]) {
    case 0xFF:
      return b[1] == 0xD8 ? RK_FORMAT_JPEG : RK_FORMAT_NONE;
    case 'B':
      return b[1] == 'M' ? RK_FORMAT_BMP : RK_FORMAT_NONE;
    case 0x89:
      return b[1] == 'P' && b[2] == 'N' && b[3] == 'G' ? RK_FORMAT_PNG : RK_FORMAT_NONE;
    case 'G':
      // Byte 4 (the 7 or 9 of the version) is not looked at.
      return b[1] == 'I' && b[2] == 'F' && b[3] == '8' && b[5] == 'a' ? RK_FORMAT_GIF : RK_FORMAT_NONE;
    case 'P':
      if (b[2] != 0x0A) return RK_FORMAT_NONE;
      if (b[1] == '1' || b[1] == '4') return RK_FORMAT_PBM;
      if (b[1] == '2' || b[1] == '5') return RK_FORMAT_PGM;
      if (b[1] == '3' || b[1] == '6') return RK_FORMAT_PPM;
      return RK_FORMAT_NONE;
    case 0xD7:
      return b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A ? RK_FORMAT_WMF : RK_FORMAT_NONE;
    default:
      return RK_FORMAT_NONE;
  }
}

int RKImgFileSrc::formatOfExtension(const RKString& path) {
  int dot = path.lastIndexOf('.');
  if (dot < 0) return RK_FORMAT_NONE;
  RKString extension = path.substring(dot + 1, -1);
  if (extension.isEmpty()) return RK_FORMAT_NONE;
  for (const ExtensionFormat& entry : kExtensions)
    if (extension.equalsIgnoreCase(RKString(entry.extension))) return entry.format;
  return RK_FORMAT_NONE;
}

int RKImgFileSrc::probeType(RKString path) {
  unsigned char head[kProbeBytes];
  int got = 0;
  RKFileStream* stream = new RKFileStream();
  stream->addRef();
  if (stream->open(path, 0)) {
    while (got < kProbeBytes) {
      int n = stream->read(head + got, kProbeBytes - got);
      if (n <= 0) break;
      got += n;
    }
    stream->close();
  }
  stream->release();
  if (got < kProbeBytes) return 0;
  int format = formatOfBytes(head);
  if (format == RK_FORMAT_NONE) format = formatOfExtension(path);
  if (format == RK_FORMAT_NONE) return 0;
  m_format = format;
  return 1;
}

RKImage* RKImgFileSrc::getImage() {
  if (m_format == RK_FORMAT_NONE || m_path.isEmpty()) return nullptr;
  switch (m_format) {
    case RK_FORMAT_JPEG:
      return decodeSingle<RKJPEGDecoder>(m_path);
    case RK_FORMAT_BMP:
      return decodeSingle<RKBMPDecoder>(m_path);
    case RK_FORMAT_PNG:
      return decodeSingle<RKPNGDecoder>(m_path);
    case RK_FORMAT_GIF:
      return decodeFirstOfGroup<RKGIFDecoder>(m_path);
    case RK_FORMAT_PCX:
      return decodeSingle<RKPCXDecoder>(m_path);
    case RK_FORMAT_TIFF:
      return decodeSingle<RKTIFFDecoder>(m_path);
    case RK_FORMAT_JP2:
      return decodeSingle<RKJP2Decoder2>(m_path);
    case RK_FORMAT_JPC:
      return decodeSingle<RKJPCDecoder2>(m_path);
    case RK_FORMAT_PGX:
      return decodeSingle<RKPGXDecoder>(m_path);
    case RK_FORMAT_PPM:
    case RK_FORMAT_PGM:
    case RK_FORMAT_PBM:
      return decodeSingle<RKPNMDecoder>(m_path);
    case RK_FORMAT_RAS:
      return decodeSingle<RKRASDecoder>(m_path);
    case RK_FORMAT_TGA:
      return decodeSingle<RKTGADecoder>(m_path);
    case RK_FORMAT_ICO:
    case RK_FORMAT_CUR:
      return decodeFirstOfGroup<RKICODecoder>(m_path);
    case RK_FORMAT_WMF:
      return decodeSingle<RKWMFDecoder>(m_path);
    case RK_FORMAT_EMF:
      return decodeSingle<RKEMFDecoder>(m_path);
    default:
      return nullptr;
  }
}

RKImageGroup* RKImgFileSrc::getImageGroup() {
  if (m_format != RK_FORMAT_GIF || m_path.isEmpty()) return nullptr;
  RKGIFDecoder decoder;
  if (!decoder.openFile(m_path)) return nullptr;
  return decoder.getImage();
}

int RKImgFileSrc::getFormat() { return m_format; }

std::vector<IRKPin*> RKImgFileSrc::pinsHeld() {
  std::vector<IRKPin*> pins;
  lock(RK_WAIT_FOREVER);
  for (unsigned int i = 0; i < itemCount; ++i) {
    IRKPin* pin = static_cast<IRKPin*>(items[i]);
    pin->addRef();
    pins.push_back(pin);
  }
  unlock();
  return pins;
}

RKBuffer* RKImgFileSrc::readFileBytes() {
  RKBuffer* bytes = nullptr;
  RKFileStream* stream = new RKFileStream();
  stream->addRef();
  if (stream->open(m_path, 0)) {
    // available() is -1 for an empty file and on errors: nothing to hand on then.
    int size = stream->available();
    if (size > 0) {
      bytes = new RKBuffer();
      bytes->addRef();
      int got = 0;
      if (bytes->allocate(size)) {
        while (got < size) {
          int n = stream->read(bytes->getData(got), size - got);
          if (n <= 0) break;
          got += n;
        }
      }
      if (got < size) {
        bytes->release();
        bytes = nullptr;
      }
    }
    stream->close();
  }
  stream->release();
  return bytes;
}

void RKImgFileSrc::pushFile() {
  std::vector<IRKPin*> pins = pinsHeld();
  for (IRKPin* pin : pins) {
    RKBuffer* bytes = readFileBytes();
    if (bytes) {
      RKImage* image = new RKImage(RK_PIXEL_FILE, bytes, 0, 0, 320, 240, 0);
      image->addRef();
      bytes->release();
      pin->consume(image);
      image->release();
      Sleep(1);
    }
    pin->release();
  }
}

void RKImgFileSrc::broadcast(void* argument) {
  std::vector<IRKPin*> pins = pinsHeld();
  for (IRKPin* pin : pins) {
    pin->broadcast(argument);
    pin->release();
  }
}

}  // namespace RKSDK
