#include "RKPNGDecoder.h"

#include <png.h>

#include <climits>
#include <cstring>
#include <new>

namespace RKSDK {

// The open libpng state. Everything a decode allocates hangs here, so that an error that jumps
// out of libpng leaves nothing behind that endLibrary does not free.
struct RKPNGState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_bytep* rows = nullptr;    // row pointers of an interlaced read
  png_bytep indexes = nullptr;  // palette indexes of an interlaced read
};

namespace {

// libpng hands every error here; control returns to the setjmp of the operation in progress.
// Nothing between that setjmp and libpng holds an object with a destructor.
void silentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void silentWarning(png_structp, png_const_charp) {}

// Exactly the bytes asked for, or a library error.
void readFromStream(png_structp png, png_bytep data, png_size_t length) {
  IRKIOStream* stream = static_cast<IRKIOStream*>(png_get_io_ptr(png));
  while (length > 0) {
    int chunk = length > static_cast<png_size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
    if (!stream || stream->read(data, chunk) != chunk) png_error(png, "short read");
    data += chunk;
    length -= static_cast<png_size_t>(chunk);
  }
}

}  // namespace

RKPNGDecoder::RKPNGDecoder() : m_depth(0), m_state(nullptr) { appendClassName("RKPNGDecoder"); }

RKPNGDecoder::~RKPNGDecoder() { endLibrary(); }

int RKPNGDecoder::getDepth() { return m_depth; }

unsigned int RKPNGDecoder::pixelType() { return m_depth == 32 ? RK_PIXEL_BGRA32 : RK_PIXEL_BGR24; }

void RKPNGDecoder::writeInfo(RKParam* properties) { putInfo(properties, "IMAGE_Depth", m_depth); }

void RKPNGDecoder::endLibrary() {
  if (!m_state) return;
  if (m_state->png) png_destroy_read_struct(&m_state->png, m_state->info ? &m_state->info : nullptr, nullptr);
  delete[] m_state->rows;
  delete[] m_state->indexes;
  delete m_state;
  m_state = nullptr;
}

void RKPNGDecoder::close() {
  endLibrary();
  releaseStream();
}

void RKPNGDecoder::closeAll() {
  close();
  dropDecoded();
}

int RKPNGDecoder::fail() {
  close();
  m_headerRead = 0;
  return 0;
}

int RKPNGDecoder::readHeader() {
  endLibrary();
  m_depth = 0;
  if (!m_stream) return 0;
  RKPNGState* state = new (std::nothrow) RKPNGState();
  if (!state) return 0;
  m_state = state;
  state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, silentWarning);
  if (!state->png) return fail();
  state->info = png_create_info_struct(state->png);
  if (!state->info) return fail();
  if (setjmp(png_jmpbuf(state->png))) return fail();
  png_set_read_fn(state->png, m_stream, readFromStream);
  png_read_info(state->png, state->info);

  // libpng refuses sizes above 2^31 - 1, so both fit an int.
  m_width = static_cast<int>(png_get_image_width(state->png, state->info));
  m_height = static_cast<int>(png_get_image_height(state->png, state->info));
  int colorType = png_get_color_type(state->png, state->info);
  int interlaced = png_get_interlace_type(state->png, state->info) != PNG_INTERLACE_NONE;
  int alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(state->png, state->info, PNG_INFO_tRNS) != 0;
  m_depth = !interlaced && alpha ? 32 : 24;
  return 1;
}

int RKPNGDecoder::decode(RKBuffer* target) {
  if (!m_headerRead || !m_state || !target) return 0;
  int64_t size = imageBytes(m_width, m_height, m_depth / 8);
  if (size < 0 || !target->allocate(static_cast<int>(size))) return fail();
  u8* out = target->getData(0);
  if (!out) return fail();
  if (setjmp(png_jmpbuf(m_state->png))) return fail();
  int interlaced = png_get_interlace_type(m_state->png, m_state->info) != PNG_INTERLACE_NONE;
  if (!(interlaced ? readInterlaced(out) : readRows(out))) return fail();
  close();
  notifyFinished();
  return 1;
}

// Sets the transformations of a decode and updates the row layout. Non-interlaced rows become
// 8-bit blue, green, red (alpha) samples, with transparency chunks as alpha and gamma corrected
// for a screen of 2.2. Interlaced rows become 8-bit blue, green, red samples without alpha, or
// 8-bit indexes for palette files. Returns the channels of a transformed row.
int RKPNGDecoder::setTransformations(int interlaced) {
  png_structp png = m_state->png;
  png_infop info = m_state->info;
  int colorType = png_get_color_type(png, info);
  int bitDepth = png_get_bit_depth(png, info);
  int palette = colorType == PNG_COLOR_TYPE_PALETTE;
  int grey = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
  if (bitDepth == 16) png_set_strip_16(png);
  if (interlaced) {
    if (colorType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
    if (palette && bitDepth < 8) png_set_packing(png);
  } else {
    if (palette) png_set_palette_to_rgb(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    double fileGamma = 0;
    if (png_get_valid(png, info, PNG_INFO_gAMA) && png_get_gAMA(png, info, &fileGamma))
      png_set_gamma(png, 2.2, fileGamma);
  }
  if (grey && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (grey) png_set_gray_to_rgb(png);
  if (!interlaced || !palette) png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return png_get_channels(png, info);
}

// Non-interlaced files: rows are read straight into the target.
int RKPNGDecoder::readRows(u8* out) {
  int bytes = m_depth / 8;
  size_t rowBytes = static_cast<size_t>(m_width) * static_cast<size_t>(bytes);
  if (setTransformations(0) != bytes || png_get_rowbytes(m_state->png, m_state->info) != rowBytes) return 0;
  for (int y = 0; y < m_height; ++y) {
    png_read_row(m_state->png, out + rowBytes * static_cast<size_t>(y), nullptr);
    notifyRow(y, m_height);
  }
  return 1;
}

// Interlaced files are read whole: blue, green, red rows straight into the target, palette
// indexes into a block of their own, looked up afterwards.
int RKPNGDecoder::readInterlaced(u8* out) {
  png_structp png = m_state->png;
  png_infop info = m_state->info;
  int palette = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
  int channels = palette ? 1 : 3;
  size_t rowBytes = static_cast<size_t>(m_width) * static_cast<size_t>(channels);
  if (setTransformations(1) != channels || png_get_rowbytes(png, info) != rowBytes) return 0;
  m_state->rows = new (std::nothrow) png_bytep[static_cast<size_t>(m_height)];
  if (!m_state->rows) return 0;
  png_bytep base = out;
  if (palette) {
    m_state->indexes = new (std::nothrow) png_byte[rowBytes * static_cast<size_t>(m_height)];
    if (!m_state->indexes) return 0;
    base = m_state->indexes;
  }
  for (int y = 0; y < m_height; ++y) m_state->rows[y] = base + rowBytes * static_cast<size_t>(y);
  png_read_image(png, m_state->rows);
  png_read_end(png, nullptr);

  if (!palette) {
    for (int y = 0; y < m_height; ++y) notifyRow(y, m_height);
    return 1;
  }
  // Indexes past the palette give black.
  u8 table[256][3] = {};
  png_colorp entries = nullptr;
  int count = 0;
  if (!png_get_PLTE(png, info, &entries, &count) || !entries) count = 0;
  for (int i = 0; i < count && i < 256; ++i) {
    table[i][0] = entries[i].blue;
    table[i][1] = entries[i].green;
    table[i][2] = entries[i].red;
  }
  const png_byte* index = m_state->indexes;
  for (int y = 0; y < m_height; ++y) {
    for (int x = 0; x < m_width; ++x, out += 3) std::memcpy(out, table[*index++], 3);
    notifyRow(y, m_height);
  }
  return 1;
}

int RKPNGDecoder::readRaw(void* destination) {
  // Without decoded pixels only the size is told.
  if (!m_decoded) return RKImageDecoder::readRaw(nullptr);
  return RKImageDecoder::readRaw(destination);
}

int RKPNGDecoder::decodeTo(RKObject* target) {
  if (!m_decoded && isKind(target, "RKImage")) return 0;
  return RKImageDecoder::decodeTo(target);
}

}  // namespace RKSDK
