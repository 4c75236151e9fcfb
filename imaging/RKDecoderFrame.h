// The shared frame of the image decoders.
//
// RKDecoderFrame holds what every decoder keeps (the input stream, the header-read flag, the
// header's width and height) and implements the five open operations and setSource once.
// RKImageDecoder adds the decoded-buffer cache of single-image decoders (getBuffer, getImage,
// decodeTo, readRaw, getInfo); RKImageGroupDecoder adds the decoded-group cache of multi-image
// decoders. A decoder derives from one of the two, appends its own class name in its
// constructor, and supplies the hooks; where its format departs from the frame it overrides the
// public operation itself. The frame adds no element to the class-name path.
//
// Open operations (all clear the header-read flag first):
//   openFile(path)      file stream opened for reading (mode 0) -> openStream
//   openBuffer(buffer)  read-only buffer stream sharing buffer    -> openStream
//   openMemory(data, n) read-only buffer stream over a copy        -> openStream
//   openContents(image) the image's pixel buffer (a file's bytes)  -> openBuffer
//   openStream(stream)  keeps stream (one reference), drops the cache of the previous open
//                       (dropDecoded), then readHeader(); the flag is set when it returns 1.
// Every stream the frame builds over memory is read-only, so a seek past the end read from a
// hostile file cannot grow the buffer; decoders that build their own memory streams use
// makeReadStream for the same reason.
//
// Hooks of RKDecoderFrame:
//   readHeader()   pure: read the header from m_stream, fill m_width, m_height and the
//                  decoder's own fields; 1 or 0. The stream is positioned where the caller left
//                  it (at its start for the streams the frame builds).
//   dropDecoded()  pure: release what an earlier decode left (supplied by the two bases).
//
// Hooks of RKImageDecoder:
//   decode(target)     pure: decode the pixels into target (allocating it), rows top first;
//                      1 or 0. Calls notifyRow/notifyFinished as the format says.
//   pixelType()        pure: the pixel type of the decoded pixels (getImage, decodeTo).
//   infoPixelType()    "IMAGE_ImageType" of getInfo; default pixelType().
//   writeInfo(params)  the decoder's keys after "IMAGE_ImageType", "IMAGE_Width" and
//                      "IMAGE_Height" (use putInfo); default none.
//   rawBytesPerPixel() bytes a pixel that readRaw counts; default 4 for 4-byte types, else 3.
//   keepsDecoded()     0 for decoders without a cache (each getBuffer decodes afresh);
//                      default 1.
//   prepareImage(img)  finish an image made by getImage or filled by decodeTo (density, ...);
//                      default nothing.
//
// Hook of RKImageGroupDecoder:
//   decodeGroup(group) pure: decode every image into group; 1 or 0.
//   infoPixelType()    "IMAGE_ImageType" of getInfo; default 1007.
//
// Departures are made by overriding the public operation: a decoder that closes its stream
// after decoding calls releaseStream() at the end of decode(); one whose decodeTo, readRaw or
// getInfo differs overrides that operation and may call the frame's version for the rest; one
// that decodes at open time overrides openStream/openBuffer (openMemory, openFile and
// openContents all end in those two); decoders whose getImage yields neither a buffer-backed
// image nor a group (the metafile players) derive from RKDecoderFrame itself. getImage and
// decodeTo read m_width and m_height after the decode, so a decode may still change them.
//
// Helpers: notifyRow/notifyFinished call the listener when one is set; putInfo writes a whole
// number as decimal text; imageBytes checks a width x height x bytes product against overflow
// and the library's size cap; releaseStream drops the kept stream (decoders that close after
// decoding).
#ifndef RK_IMAGING_RKDECODERFRAME_H
#define RK_IMAGING_RKDECODERFRAME_H

#include <cstdint>

#include "IRKCoder.h"
#include "IRKIOStream.h"
#include "RKBuffer.h"
#include "RKBufferStream.h"
#include "RKImage.h"
#include "RKImageGroup.h"
#include "RKString.h"

namespace RKSDK {

// Largest pixel block a decoder makes (a limit of this library, not of any format).
const int64_t RK_MAX_IMAGE_BYTES = 0x40000000;

class RKDecoderFrame : public virtual IRKCoder {
 public:
  ~RKDecoderFrame() override;

  virtual int openContents(RKObject* holder);
  int openMemory(const void* data, int length) override;
  virtual int openStream(IRKIOStream* stream);
  virtual int openBuffer(RKBuffer* buffer);
  virtual int openFile(RKString path);
  int setSource(RKObject* source) override;

  virtual int getWidth();
  virtual int getHeight();

  // 1 when the class-name path of object holds "." followed by kind (a substring search).
  static int isKind(RKObject* object, const char* kind);
  // A buffer stream over buffer in read-only mode, one reference for the caller; or null.
  static RKBufferStream* makeReadStream(RKBuffer* buffer);
  // width x height x bytesPerPixel, or -1 when a factor is negative or the product exceeds
  // RK_MAX_IMAGE_BYTES.
  static int64_t imageBytes(int64_t width, int64_t height, int64_t bytesPerPixel);
  // Writes key = the decimal text of value.
  static void putInfo(RKParam* properties, const char* key, int64_t value);

 protected:
  RKDecoderFrame();

  virtual int readHeader() = 0;
  virtual void dropDecoded() = 0;

  void notifyRow(int row, int rowCount);
  void notifyFinished();
  void releaseStream();

  IRKIOStream* m_stream;
  int m_headerRead;
  int m_width;
  int m_height;
};

class RKImageDecoder : public RKDecoderFrame {
 public:
  ~RKImageDecoder() override;

  // An image of pixelType() over the decoded buffer, left 0, top 0, the header's size, delay 0;
  // one reference for the caller, or null.
  virtual RKImage* getImage();
  // The decoded pixels with a reference for the caller (decoded on first use), or null. A
  // failed decode closes the decoder (header-read flag clear).
  virtual RKBuffer* getBuffer();

  int getInfo(RKParam* properties) override;
  int readRaw(void* destination) override;
  // ".RKImage": the image gets the decoded pixels and size. ".RKBuffer": a copy of the cache,
  // or a decode straight into the target, which then becomes the cache. The target must be a
  // heap object its caller holds a reference to.
  int decodeTo(RKObject* target) override;

 protected:
  RKImageDecoder();

  virtual int decode(RKBuffer* target) = 0;
  virtual unsigned int pixelType() = 0;
  virtual unsigned int infoPixelType();
  virtual void writeInfo(RKParam* properties);
  virtual int rawBytesPerPixel();
  virtual int keepsDecoded();
  virtual void prepareImage(RKImage* image);

  void dropDecoded() override;

  RKBuffer* m_decoded;
};

class RKImageGroupDecoder : public RKDecoderFrame {
 public:
  ~RKImageGroupDecoder() override;

  // The decoded group (decoded on first use) with a reference for the caller, or null.
  virtual RKImageGroup* getImage();

  int getInfo(RKParam* properties) override;
  // All images' pixel buffers back to back; the result is their total size.
  int readRaw(void* destination) override;
  // Only ".RKImageGroup" targets: a copy of the cached group's images, or a decode straight
  // into the target, which then becomes the cache (so it must be a heap object its caller
  // holds a reference to).
  int decodeTo(RKObject* target) override;

 protected:
  RKImageGroupDecoder();

  virtual int decodeGroup(RKImageGroup* target) = 0;
  virtual unsigned int infoPixelType();

  void dropDecoded() override;

  RKImageGroup* m_decodedGroup;
};

}  // namespace RKSDK

#endif
