#include "jp2_box_reader.h"

#include "kdu_messages.h"

jp2_box_reader::~jp2_box_reader() {}

int jp2_box_reader::read_raw(uint8_t *buffer, int count) {
  if (count <= 0) return 0;
  if (parent != nullptr) return parent->read(buffer, count);
  int total = 0;
  while (total < count) {
    int got = stream->read(buffer + total, count - total);
    if (got <= 0) break;
    total += got;
  }
  return total;
}

bool jp2_box_reader::read_header() {
  remaining = unlimited;
  uint8_t buf[8];
  if (read_raw(buf, 4) < 4) return false;
  uint32_t lbox = ((uint32_t)buf[0] << 24) | ((uint32_t)buf[1] << 16) | ((uint32_t)buf[2] << 8) | buf[3];
  if (read_raw(buf, 4) < 4) return false;
  uint32_t tbox = ((uint32_t)buf[0] << 24) | ((uint32_t)buf[1] << 16) | ((uint32_t)buf[2] << 8) | buf[3];
  if (tbox == 0) return false;
  type = tbox;
  length = lbox;
  if (lbox == 1) {
    if (read_raw(buf, 8) < 8) {
      type = 0;
      return false;
    }
    uint32_t high = ((uint32_t)buf[0] << 24) | ((uint32_t)buf[1] << 16) | ((uint32_t)buf[2] << 8) | buf[3];
    uint32_t low = ((uint32_t)buf[4] << 24) | ((uint32_t)buf[5] << 16) | ((uint32_t)buf[6] << 8) | buf[7];
    if (high != 0)
      length = 0;
    else {
      if (low < 16) {
        type = 0;
        kdu_error e;
        e << "Illegal extended box length encountered in JP2 file.";
      }
      length = low;
      remaining = low - 16;
    }
  } else if (lbox >= 2 && lbox <= 7) {
    type = 0;
    kdu_error e;
    e << "Illegal box length field encountered in JP2 file.";
  } else if (lbox != 0)
    remaining = lbox - 8;

  // A sub-box never reaches beyond its parent: one that claims more, or that runs to the end,
  // ends with its parent's content.
  if (parent != nullptr && !parent->runs_to_end() && (remaining == unlimited || remaining > parent->remaining))
    remaining = parent->remaining;
  return true;
}

bool jp2_box_reader::open(jp2_stream *src) {
  type = 0;
  stream = src;
  parent = nullptr;
  if (stream == nullptr) return false;
  if (!read_header()) {
    type = 0;
    return false;
  }
  return true;
}

bool jp2_box_reader::open(jp2_box_reader *container) {
  type = 0;
  parent = container;
  stream = nullptr;
  if (parent == nullptr || !parent->is_open()) return false;
  if (!read_header()) {
    type = 0;
    return false;
  }
  return true;
}

int jp2_box_reader::read(uint8_t *buffer, int count) {
  if (type == 0) {
    kdu_error e;
    e << "Attempting to read from a closed JP2 file box.";
  }
  if (count <= 0) return 0;
  if (remaining != unlimited && (uint32_t)count > remaining) count = (int)remaining;
  int got = read_raw(buffer, count);
  if (got > 0 && remaining != unlimited) remaining -= (uint32_t)got;
  return got;
}

bool jp2_box_reader::read(uint32_t &value) {
  uint8_t b[4];
  if (read(b, 4) < 4) return false;
  value = ((uint32_t)b[0] << 24) | ((uint32_t)b[1] << 16) | ((uint32_t)b[2] << 8) | b[3];
  return true;
}

bool jp2_box_reader::read(uint16_t &value) {
  uint8_t b[2];
  if (read(b, 2) < 2) return false;
  value = (uint16_t)((b[0] << 8) | b[1]);
  return true;
}

bool jp2_box_reader::read(uint8_t &value) { return read(&value, 1) == 1; }

void jp2_box_reader::skip(uint32_t count) {
  if (remaining != unlimited && count > remaining) count = remaining;
  if (count == 0) return;
  if (parent != nullptr)
    parent->skip(count);
  else
    stream->seek((int64_t)count, 1);
  if (remaining != unlimited) remaining -= count;
}

bool jp2_box_reader::close() {
  if (type == 0) return true;
  bool complete = true;
  if (remaining == unlimited) {
    // The box runs to the end of its container, which therefore ends with it too.
    if (parent != nullptr) {
      uint8_t buf[4096];
      while (parent->read(buf, (int)sizeof(buf)) > 0) {
      }
    } else {
      uint8_t probe;
      complete = (stream->read(&probe, 1) <= 0);
    }
  } else if (remaining > 0) {
    complete = false;
    skip(remaining);
  }
  type = 0;
  remaining = 0;
  return complete;
}
