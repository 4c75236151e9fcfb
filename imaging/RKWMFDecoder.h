// Decoder of placeable Windows metafiles: the records are played, one after the other, onto a
// white canvas of type 1005 through the image's drawing back-end. The result is the pixels.
//
// Departures from the decoder frame: getImage yields the played image (cached until the next
// open); a playback ends by releasing the input stream; getInfo reports type 1003; readRaw
// always answers width x height x 3.
#ifndef RK_IMAGING_RKWMFDECODER_H
#define RK_IMAGING_RKWMFDECODER_H

#include <cstdint>

#include "RKColor.h"
#include "RKDecoderFrame.h"
#include "RKSize.h"

namespace RKSDK {

class IRKGraphics;
class MetafileObjectStore;
class MetafileRecord;

class RKWMFDecoder : public RKDecoderFrame {
 public:
  RKWMFDecoder();
  ~RKWMFDecoder() override;

  // The played image with a reference for the caller (played on first use), or null.
  virtual RKImage* getImage();
  // Keeps stream and reads the placeable header and the metafile header; 1 or 0.
  virtual int readHeader(IRKIOStream* stream);
  // Plays the records onto a new white canvas in target; 1, or 0 when nothing could be set up.
  virtual int play(RKImage* target);
  // Drops the stream and the cached image.
  virtual void close();
  virtual void closeStream();
  // Turns width pixels of one stored bitmap row of bitCount bits into B, G, R, A bytes: 1, 4
  // and 8 bits through palette (four bytes an entry), 16 bits as 5-6-5 (rgb565 set) or 5-5-5,
  // 24 bits widened, 32 bits copied. Other bit counts write nothing.
  virtual void convertDibRow(const uint8_t* palette, const uint8_t* source, uint8_t* destination, int width,
                             int bitCount, int rgb565);

  int getInfo(RKParam* properties) override;
  int readRaw(void* destination) override;
  int decodeTo(RKObject* target) override;

 protected:
  int readHeader() override;
  void dropDecoded() override;
  // Rows drawn in one pass of the records: the canvas is drawn band by band, so that no
  // drawing surface of the whole picture is ever held beside it.
  virtual int bandRows(int width, int height);

 private:
  // Plays the records onto rows [top, top + rows) of the canvas (rows 0: no drawing surface)
  // with the emptied object table; 0 when the band's drawing surface cannot be made.
  int playBand(MetafileObjectStore& objects, RKBuffer* canvas, int top, int rows);
  // Each handler returns false when the playback must end.
  bool playRecord(uint16_t function, MetafileRecord& record, IRKGraphics* graphics, MetafileObjectStore& objects);
  bool createObject(uint16_t function, MetafileRecord& record, MetafileObjectStore& objects);
  void playPointList(uint16_t function, MetafileRecord& record, IRKGraphics* graphics);
  void playText(uint16_t function, MetafileRecord& record, IRKGraphics* graphics);
  void playStretchDib(MetafileRecord& record, IRKGraphics* graphics);

  uint16_t m_currentX;
  uint16_t m_currentY;
  RKImage* m_image;
  RKColor m_textColor;
  RKSize m_windowExtent;
  int m_slotLookup;
  int m_alternateFill;
  uint32_t m_totalSize;
  int m_objectCount;
};

}  // namespace RKSDK

#endif
