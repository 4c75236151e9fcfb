#include "RKParam.h"

#include "RKFileStream.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

namespace RKSDK {

namespace {

RKString textOf(const char* s) { return RKString(s ? s : ""); }

}  // namespace

RKParam::RKParam() { appendClassName("RKParam"); }

RKParam::RKParam(const RKParam& other) : RKObject(), TRKMap<RKString, RKString>() {
  appendClassName("RKParam");
  RKParam& src = const_cast<RKParam&>(other);
  u32 total = src.getCount();
  u32 copied = 0;
  for (int more = src.moveFirst(); more && copied < total; more = src.moveNext(), ++copied)
    put(src.getCurrentKey(), src.getCurrentValue());
}

RKParam::~RKParam() {}

int RKParam::set(RKString key, const char* value) { return set(key, textOf(value)); }
int RKParam::set(const char* key, const char* value) { return set(textOf(key), textOf(value)); }
int RKParam::set(const char* key, RKString value) { return set(textOf(key), value); }

int RKParam::set(RKString key, RKString value) {
  remove(key);
  return put(key, value);
}

int RKParam::getValue(const char* key, char* buffer, int size) { return getValue(textOf(key), buffer, size); }

int RKParam::getValue(RKString key, char* buffer, int size) {
  if (!buffer || size < 1) return 0;
  RKString value;
  if (!TRKMap<RKString, RKString>::get(key, value)) return 0;
  u32 n = value.data ? value.length : 0;
  if ((u32)size > n) {
    if (n) memcpy(buffer, value.data, n);
    buffer[n] = 0;
  } else {
    memcpy(buffer, value.data, size - 1);
    buffer[size - 1] = 0;
  }
  return 1;
}

int RKParam::get(const char* key, RKString& out) { return get(textOf(key), out); }

int RKParam::get(RKString key, RKString& out) { return TRKMap<RKString, RKString>::get(key, out); }

RKString RKParam::getString(RKString key, const char* defaultValue) { return getString(key, textOf(defaultValue)); }
RKString RKParam::getString(const char* key, RKString defaultValue) { return getString(textOf(key), defaultValue); }
RKString RKParam::getString(const char* key, const char* defaultValue) {
  return getString(textOf(key), textOf(defaultValue));
}

RKString RKParam::getString(RKString key, RKString defaultValue) {
  RKString value;
  if (TRKMap<RKString, RKString>::get(key, value)) return value;
  return defaultValue;
}

int RKParam::getInt(const char* key) { return getInt(textOf(key)); }

int RKParam::getInt(RKString key) {
  RKString value;
  if (!TRKMap<RKString, RKString>::get(key, value) || !value.data) return 0;
  long n = strtol(value.data, nullptr, 10);
  // A 32-bit long's range, as on the target.
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return (int)n;
}

int RKParam::removeAll() { return TRKMap<RKString, RKString>::removeAll(); }

RKObject* RKParam::clone() {
  RKParam* copy = new (std::nothrow) RKParam(*this);
  if (!copy) return nullptr;
  copy->addRef();
  return copy;
}

RKProperties::RKProperties() { appendClassName("RKProperties"); }

RKProperties::RKProperties(const RKProperties& other) : RKObject(), TRKMap<RKString, RKString>(), RKParam(other) {
  appendClassName("RKProperties");
}

RKProperties::~RKProperties() {}

int RKProperties::load(RKString path) {
  RKFileStream stream;
  if (!stream.open(path, RK_STREAM_READ)) return 0;
  return load(&stream);
}

int RKProperties::save(RKString path) {
  RKFileStream stream;
  if (!stream.open(path, RK_STREAM_WRITE)) return 0;
  int saved = save(&stream);
  // Bytes still buffered reach the file only now; a failure here loses them.
  int closed = stream.close();
  return saved && closed ? 1 : 0;
}

int RKProperties::readLine(IRKIOStream* stream, RKString& line) {
  if (!stream || stream->available() < 1) return 0;
  int start = stream->tell();
  if (start < 0) return 0;
  char c = 0;
  while (stream->read(&c, 1) == 1 && c != '\n') {
  }
  int end = stream->tell();
  int length = end - start;
  if (length <= 0) return 0;  // nothing could be read
  std::vector<char> bytes((size_t)length + 1);
  if (!stream->seek(start, RK_SEEK_SET) || stream->read(bytes.data(), length) != length) return 0;
  bytes[length] = 0;
  line = bytes.data();
  return 1;
}

int RKProperties::load(IRKIOStream* stream) {
  if (!stream) return 0;
  removeAll();
  stream->seek(0, RK_SEEK_SET);
  RKString line;
  while (readLine(stream, line)) {
    line.trimLeft();
    line.trimRight();
    if (!line.data || line.length == 0 || line.data[0] == '#') continue;
    const char* eq = static_cast<const char*>(memchr(line.data, '=', line.length));
    if (!eq) {
      set(line, RKString(""));
      continue;
    }
    int p = (int)(eq - line.data);
    RKString key = p == 0 ? RKString("") : line.substring(0, p - 1);
    RKString value = p == (int)line.length - 1 ? RKString("") : line.substring(p + 1, -1);
    set(key, value);
  }
  return 1;
}

int RKProperties::save(IRKIOStream* stream) {
  if (!stream) return 0;
  std::string text;
  u32 total = getCount();
  u32 done = 0;
  for (int more = moveFirst(); more && done < total; more = moveNext(), ++done) {
    RKString key = getCurrentKey();
    RKString value = getCurrentValue();
    if (key.data) text.append(key.data, key.length);
    text.push_back('=');
    if (value.data) text.append(value.data, value.length);
    text.append("\r\n");
  }
  int written = stream->write(text.data(), (int)text.size());
  return written == (int)text.size() ? 1 : 0;
}

}  // namespace RKSDK
