// Decoder of enhanced metafiles: the records are played onto a white canvas of type 1003
// through the image's drawing back-end, with the object stores and the point-list mapping of
// the WMF player. Each record's type is appended to the trace file "d:\function.txt" when that
// file can be opened.
//
// Departures from the decoder frame: getImage yields the played image (cached until the next
// open); the input stream is kept after a playback; getInfo reports type 1003; readRaw and
// decodeTo work from the played image.
#ifndef RK_IMAGING_RKEMFDECODER_H
#define RK_IMAGING_RKEMFDECODER_H

#include <cstdint>

#include "RKColor.h"
#include "RKDecoderFrame.h"
#include "RKSize.h"
#include "RKString.h"

namespace RKSDK {

class IRKGraphics;
class MetafileObjectStore;
class MetafileRecord;

class RKEMFDecoder : public RKDecoderFrame {
 public:
  RKEMFDecoder();
  ~RKEMFDecoder() override;

  // The played image with a reference for the caller (played on first use), or null.
  virtual RKImage* getImage();
  // Reads the header record from the kept stream; 1 or 0.
  int readHeader() override;
  // Plays the records onto the cached canvas with a table of handleCount objects; 1 or 0.
  virtual int play(int handleCount);

  int getInfo(RKParam* properties) override;
  int readRaw(void* destination) override;
  int decodeTo(RKObject* target) override;

 protected:
  void dropDecoded() override;
  // Rows drawn in one pass of the records: the canvas is drawn band by band, so that no
  // drawing surface of the whole picture is ever held beside it.
  virtual int bandRows(int width, int height);

 private:
  // Plays the records onto rows [top, top + rows) of the canvas with the emptied object table;
  // 0 when the band's drawing surface cannot be made.
  int playBand(MetafileObjectStore& objects, RKBuffer* canvas, int top, int rows);
  bool playRecord(uint32_t type, MetafileRecord& record, IRKGraphics* graphics, MetafileObjectStore& objects);
  bool createObject(uint32_t type, MetafileRecord& record, MetafileObjectStore& objects);
  // Selects the table entry at index, or the stock object that an index with bit 31 names.
  void selectObject(uint32_t index, IRKGraphics* graphics, MetafileObjectStore& objects);
  void playPoints(uint32_t type, MetafileRecord& record, IRKGraphics* graphics);
  void playPolyPoints(uint32_t type, MetafileRecord& record, IRKGraphics* graphics);
  void playText(uint32_t type, MetafileRecord& record, IRKGraphics* graphics);
  void playBitmap(uint32_t type, MetafileRecord& record, IRKGraphics* graphics);

  RKImage* m_image;
  uint8_t m_header[80];
  uint8_t m_extension1[12];
  int m_hasExtension1;
  uint8_t m_extension2[8];
  int m_hasExtension2;
  RKString m_description;
  RKColor m_textColor;
  RKSize m_windowExtent;
  int32_t m_currentX;
  int32_t m_currentY;
  int m_alternateFill;
};

}  // namespace RKSDK

#endif
