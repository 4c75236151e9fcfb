// String-to-string parameter tables, and properties files of key=value lines.
#ifndef RKSDK_RKPARAM_H
#define RKSDK_RKPARAM_H

#include "IRKIOStream.h"
#include "RKString.h"
#include "TRKMap.h"

namespace RKSDK {

// Every const char* key or value stands for the RKString made from it (null gives "").
class RKParam : public virtual TRKMap<RKString, RKString> {
 public:
  RKParam();
  // Filled by walking the other table's iterator, which ends at its end.
  RKParam(const RKParam& other);
  ~RKParam() override;

  // Replaces any earlier value of the key; returns the map's put result (1).
  virtual int set(RKString key, const char* value);
  virtual int set(const char* key, const char* value);
  virtual int set(const char* key, RKString value);
  virtual int set(RKString key, RKString value);
  // Copies the value, cut to size - 1 bytes and terminated; 0 for a null buffer, size < 1 or a
  // missing key.
  virtual int getValue(const char* key, char* buffer, int size);
  virtual int getValue(RKString key, char* buffer, int size);
  // 1 and the value in out, or 0 with out unchanged.
  virtual int get(const char* key, RKString& out);
  virtual int get(RKString key, RKString& out);
  // The value when the key is present (also an empty one), else the default.
  virtual RKString getString(RKString key, const char* defaultValue);
  virtual RKString getString(const char* key, RKString defaultValue);
  virtual RKString getString(const char* key, const char* defaultValue);
  virtual RKString getString(RKString key, RKString defaultValue);
  // The value read as a decimal number (strtol); 0 for a missing or empty value. The key stays.
  virtual int getInt(const char* key);
  virtual int getInt(RKString key);
  int removeAll() override;

  // A plain RKParam copy holding one reference.
  RKObject* clone() override;
};

// A parameter table loaded from and saved to a properties file. Lines are trimmed; empty lines
// and lines starting with '#' are skipped; the first '=' splits key from value (neither trimmed
// again); a line without '=' is a key with the empty value. Saving writes "key=value\r\n" in key
// order.
class RKProperties : public virtual RKParam {
 public:
  RKProperties();
  RKProperties(const RKProperties& other);
  ~RKProperties() override;

  virtual int load(IRKIOStream* stream);
  virtual int load(RKString path);
  virtual int save(IRKIOStream* stream);
  virtual int save(RKString path);
  // The next line with its line end; 0 at the end of the stream.
  virtual int readLine(IRKIOStream* stream, RKString& line);
};

}  // namespace RKSDK

#endif
