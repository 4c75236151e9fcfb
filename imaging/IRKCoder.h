// The format-neutral decoder interface and its progress listener.
#ifndef RK_IMAGING_IRKCODER_H
#define RK_IMAGING_IRKCODER_H

#include "RKObject.h"

namespace RKSDK {

class RKParam;

// Progress callback a caller may hand a decoder. Decoders never own or count it.
class IRKCoderListener : public virtual RKObject {
 public:
  IRKCoderListener();
  // After each row or step of a decode; what row counts is the decoder's own.
  virtual void rowDecoded(int row, int rowCount);
  // Once when a decode has run to its end.
  virtual void decodeFinished();
};

class IRKCoder : public virtual RKObject {
 public:
  IRKCoder();

  // Stores the listener (not counted); returns 1.
  virtual int setListener(IRKCoderListener* listener);
  // Forgets the listener; returns 1.
  virtual int clearListener();
  // Writes the decoder's information keys; 1, or 0 when no header was read.
  virtual int getInfo(RKParam* properties);
  // Opens a block of encoded bytes; null data or a negative length gives 0.
  virtual int openMemory(const void* data, int length);
  // Opens a path (RKString), buffer, stream or file-contents image, told apart by class path.
  virtual int setSource(RKObject* source);
  // With a null destination the size of the decoded pixels; else copies them and returns the
  // size; -1 when no header was read.
  virtual int readRaw(void* destination);
  // Decodes into an existing image, buffer or image group; 1 or 0.
  virtual int decodeTo(RKObject* target);

 protected:
  IRKCoderListener* m_listener;
};

}  // namespace RKSDK

#endif
