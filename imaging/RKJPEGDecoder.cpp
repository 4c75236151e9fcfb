#include "RKJPEGDecoder.h"

#include "RKDecodeHelpers.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// The platform headers define INT32 already, as the library's configuration expects of them.
#define _BASETSD_H_
#include <jpeglib.h>
#include <jerror.h>

namespace RKSDK {

namespace {

const int RK_JPEG_INPUT_SIZE = 4096;

// Error manager: fatal errors jump back to the operation in progress; messages go nowhere.
struct RKJPEGError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// Data source over the decoder's stream.
struct RKJPEGSource {
  jpeg_source_mgr pub;
  IRKIOStream* stream;
  int started;  // some bytes were delivered already
  JOCTET buffer[RK_JPEG_INPUT_SIZE];
};

}  // namespace

// The open library state. Nothing between a setjmp on it and the library holds an object with
// a destructor.
struct RKJPEGState {
  jpeg_decompress_struct info;
  RKJPEGError error;
  RKJPEGSource source;
  JSAMPLE* row;  // one decoded scanline
};

namespace {

void errorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<RKJPEGError*>(cinfo->err)->jump, 1); }

void outputMessage(j_common_ptr) {}

void initSource(j_decompress_ptr) {}

void termSource(j_decompress_ptr) {}

// Up to 4096 bytes from the stream. Empty input at the start is an error; an end later on is a
// warning and a supplied end-of-image marker, so a cut-off file decodes as far as it reaches.
boolean fillInput(j_decompress_ptr cinfo) {
  RKJPEGSource* source = reinterpret_cast<RKJPEGSource*>(cinfo->src);
  int got = source->stream ? source->stream->read(source->buffer, RK_JPEG_INPUT_SIZE) : -1;
  if (got <= 0) {
    if (!source->started) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    got = 2;
  }
  source->started = 1;
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = static_cast<size_t>(got);
  return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  RKJPEGSource* source = reinterpret_cast<RKJPEGSource*>(cinfo->src);
  while (count > static_cast<long>(source->pub.bytes_in_buffer)) {
    count -= static_cast<long>(source->pub.bytes_in_buffer);
    fillInput(cinfo);
  }
  source->pub.next_input_byte += count;
  source->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

}  // namespace

RKJPEGDecoder::RKJPEGDecoder() : m_components(0), m_xDensity(0), m_yDensity(0), m_colorSpace(0), m_state(nullptr) {
  appendClassName("RKJPEGDecoder");
}

RKJPEGDecoder::~RKJPEGDecoder() { endLibrary(); }

int RKJPEGDecoder::getComponents() { return m_components; }
int RKJPEGDecoder::getXDensity() { return m_xDensity; }
int RKJPEGDecoder::getYDensity() { return m_yDensity; }

unsigned int RKJPEGDecoder::pixelType() { return m_colorSpace == JCS_CMYK ? RK_PIXEL_CMYK32 : RK_PIXEL_RGB24; }

void RKJPEGDecoder::writeInfo(RKParam* properties) {
  putInfo(properties, "JPEG_NumComponents", m_components);
  putInfo(properties, "JPEG_XDensity", m_xDensity);
  putInfo(properties, "JPEG_YDensity", m_yDensity);
}

void RKJPEGDecoder::prepareImage(RKImage* image) {
  image->setDensity(static_cast<unsigned int>(m_xDensity), static_cast<unsigned int>(m_yDensity));
}

void RKJPEGDecoder::endLibrary() {
  if (!m_state) return;
  // Safe on a half-made object too: it frees only what the library's memory manager holds.
  jpeg_destroy_decompress(&m_state->info);
  delete[] m_state->row;
  delete m_state;
  m_state = nullptr;
}

void RKJPEGDecoder::close() {
  endLibrary();
  releaseStream();
}

void RKJPEGDecoder::closeAll() {
  close();
  dropDecoded();
}

int RKJPEGDecoder::fail() {
  close();
  m_headerRead = 0;
  return 0;
}

int RKJPEGDecoder::readHeader() {
  endLibrary();
  if (!m_stream || !m_stream->seek(0, RK_SEEK_SET)) return 0;
  RKJPEGState* state = new (std::nothrow) RKJPEGState();
  if (!state) return 0;
  m_state = state;
  state->info.err = jpeg_std_error(&state->error.pub);
  state->error.pub.error_exit = errorExit;
  state->error.pub.output_message = outputMessage;
  if (setjmp(state->error.jump)) return fail();
  jpeg_create_decompress(&state->info);
  RKJPEGSource& source = state->source;
  source.stream = m_stream;
  source.pub.init_source = initSource;
  source.pub.fill_input_buffer = fillInput;
  source.pub.skip_input_data = skipInput;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = termSource;
  source.pub.next_input_byte = nullptr;
  source.pub.bytes_in_buffer = 0;
  state->info.src = &source.pub;
  jpeg_read_header(&state->info, TRUE);

  m_width = static_cast<int>(state->info.image_width);
  m_height = static_cast<int>(state->info.image_height);
  m_components = state->info.num_components;
  m_xDensity = state->info.X_density;
  m_yDensity = state->info.Y_density;
  m_colorSpace = state->info.out_color_space;
  return 1;
}

int RKJPEGDecoder::decode(RKBuffer* target) {
  if (!m_headerRead || !target || !m_state) return 0;
  jpeg_decompress_struct* info = &m_state->info;
  // The library allocates whole-image buffers for some files when it starts, so the size is
  // checked against the library's cap first (the JPEG format limits each side to 65535).
  if (imageBytes((static_cast<int64_t>(info->image_width) + 3) & ~3, info->image_height, 4) < 0) return fail();
  if (setjmp(m_state->error.jump)) return fail();
  jpeg_start_decompress(info);
  m_height = static_cast<int>(info->output_height);
  m_components = info->output_components;
  m_xDensity = info->X_density;
  m_yDensity = info->Y_density;
  m_colorSpace = info->out_color_space;
  int cmyk = m_colorSpace == JCS_CMYK;
  int width = static_cast<int>(info->output_width);
  m_width = cmyk ? width : (width + 3) & ~3;
  int64_t size = imageBytes(m_width, m_height, cmyk ? 4 : 3);
  // A new block is zero-filled, which keeps the padding columns 0.
  if (size < 0 || !target->allocate(static_cast<int>(size))) return fail();
  u8* out = target->getData(0);
  adviseLargePages(out, size);
  if (!out || !readScanlines(out)) return fail();
  jpeg_finish_decompress(info);
  close();
  if (!cmyk) notifyFinished();
  return 1;
}

int RKJPEGDecoder::readScanlines(u8* out) {
  jpeg_decompress_struct* info = &m_state->info;
  int width = static_cast<int>(info->output_width);
  int height = static_cast<int>(info->output_height);
  int components = info->output_components;
  if (m_colorSpace == JCS_CMYK ? components != 4 : components != 3 && components != 1) return 0;
  // Colour and CMYK rows are what the target holds: the library writes them straight into the
  // target rows, as many a call as it has ready. Grey rows go through a row buffer.
  const bool direct = components != 1;
  const size_t stride = static_cast<size_t>(m_width) * (m_colorSpace == JCS_CMYK ? 4 : 3);
  const int batch = 16;
  JSAMPROW rows[batch];
  if (!direct) {
    m_state->row = new (std::nothrow) JSAMPLE[static_cast<size_t>(width) * batch];
    if (!m_state->row) return 0;
  }
  while (info->output_scanline < info->output_height) {
    const int first = static_cast<int>(info->output_scanline);
    const int count = std::min(batch, height - first);
    for (int i = 0; i < count; ++i)
      rows[i] = direct ? out + stride * static_cast<size_t>(first + i) : m_state->row + static_cast<size_t>(width) * i;
    const int got = static_cast<int>(jpeg_read_scanlines(info, rows, static_cast<JDIMENSION>(count)));
    if (got <= 0) return 0;
    for (int i = 0; i < got; ++i) {
      if (!direct) convertGreyRow(rows[i], width, out, first + i);
      notifyRow(first + i + 1, height);
    }
  }
  return 1;
}

void RKJPEGDecoder::convertRGBRow(const u8* row, int width, u8* target, int rowIndex) {
  std::memcpy(target + static_cast<size_t>(rowIndex) * m_width * 3, row, static_cast<size_t>(width) * 3);
}

void RKJPEGDecoder::convertGreyRow(const u8* row, int width, u8* target, int rowIndex) {
  u8* out = target + static_cast<size_t>(rowIndex) * m_width * 3;
  for (int x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = row[x];
}

int RKJPEGDecoder::readRaw(void* destination) {
  if (!m_headerRead) {
    int64_t size = imageBytes(m_width, m_height, rawBytesPerPixel());
    return size < 0 ? -1 : static_cast<int>(size);
  }
  return RKImageDecoder::readRaw(destination);
}

}  // namespace RKSDK
