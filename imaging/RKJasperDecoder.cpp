#include "RKJasperDecoder.h"

#include "RKDecodeHelpers.h"

#include <new>
#include <vector>

namespace RKSDK {

namespace {

// Brings samples of any precision to 8 bits: signed samples are first offset to the unsigned
// range, then the range 0 to 2^prec - 1 is mapped onto 0 to 255 (rounded), so that the largest
// value of a 4-bit or a 16-bit file is white as it is in an 8-bit one. Values outside the range
// are clamped. Precisions up to 16 bits go through a table.
class SampleScale {
 public:
  SampleScale(int prec, int sgnd, bool raw) : m_raw(raw) {
    m_prec = prec < 1 ? 1 : (prec > 31 ? 31 : prec);
    m_max = (int64_t(1) << m_prec) - 1;
    m_offset = sgnd ? (int64_t(1) << (m_prec - 1)) : 0;
    if (!raw && m_prec != 8 && m_prec <= 16) {
      m_table.resize(size_t(m_max) + 1);
      for (int64_t v = 0; v <= m_max; ++v) m_table[size_t(v)] = u8((v * 255 + m_max / 2) / m_max);
    }
  }

  u8 operator()(jas_seqent_t sample) const {
    int64_t v = int64_t(sample);
    if (m_raw) return u8(v < 0 ? 0 : (v > 255 ? 255 : v));
    v += m_offset;
    if (v < 0)
      v = 0;
    else if (v > m_max)
      v = m_max;
    if (m_prec == 8) return u8(v);
    if (!m_table.empty()) return m_table[size_t(v)];
    return u8((v * 255 + m_max / 2) / m_max);
  }

 private:
  bool m_raw;
  int m_prec;
  int64_t m_max;
  int64_t m_offset;
  std::vector<u8> m_table;
};

struct JasperStream {
  jas_stream_t* stream;
  jas_image_t* image;
  JasperStream() : stream(nullptr), image(nullptr) {}
  ~JasperStream() {
    if (image) jas_image_destroy(image);
    if (stream) jas_stream_close(stream);
  }
};

struct JasperMatrix {
  jas_matrix_t* matrix;
  explicit JasperMatrix(int columns) : matrix(jas_matrix_create(1, columns)) {}
  ~JasperMatrix() {
    if (matrix) jas_matrix_destroy(matrix);
  }
};

void initLibrary() {
  static const int done = (jas_init(), 1);
  (void)done;
}

}  // namespace

RKJasperDecoder::RKJasperDecoder(unsigned int initialPixelType) : m_pixelType(initialPixelType) {}

RKJasperDecoder::~RKJasperDecoder() {}

unsigned int RKJasperDecoder::pixelType() { return m_pixelType; }

// Never called: openStream is this family's own and reads no header.
int RKJasperDecoder::readHeader() { return 0; }

int RKJasperDecoder::openStream(IRKIOStream* stream) {
  m_headerRead = 0;
  dropDecoded();
  if (!stream) return 0;
  // available() is -1 at the end of a stream or when the size cannot be had: nothing to read.
  int n = stream->available();
  if (n < 0) return 0;
  RKBuffer* contents = new (std::nothrow) RKBuffer(n);
  if (!contents) return 0;
  contents->addRef();
  adviseLargePages(contents->getData(0), contents->getSize());
  int result = 0;
  if (contents->getSize() == n && (n == 0 || stream->read(contents->getData(0), n) == n)) result = openBuffer(contents);
  contents->release();
  return result;
}

int RKJasperDecoder::openBuffer(RKBuffer* buffer) {
  m_headerRead = 0;
  dropDecoded();
  return decode(buffer);
}

int RKJasperDecoder::decode(RKBuffer* contents) {
  if (!contents) return 0;
  dropDecoded();
  m_headerRead = 0;
  initLibrary();
  JasperStream in;
  in.stream = jas_stream_memopen(reinterpret_cast<char*>(contents->getData(0)), contents->getSize());
  if (!in.stream) return 0;
  // Older copies of the library take the format name as a plain char pointer.
  const int format = jas_image_strtofmt(const_cast<char*>(jasperFormat()));
  in.image = jas_image_decode(in.stream, format, nullptr);
  if (!in.image) return 0;
  if (!convert(in.image, contents)) {
    dropDecoded();
    return 0;
  }
  m_headerRead = 1;
  notifyFinished();
  return 1;
}

int RKJasperDecoder::makeDecoded(jas_image_t* image, int bytesPerPixel) {
  int count = jas_image_numcmpts(image);
  if (count < 1) return 0;
  int64_t width = jas_image_cmptwidth(image, 0);
  int64_t height = jas_image_cmptheight(image, 0);
  for (int c = 1; c < count; ++c)
    if (jas_image_cmptwidth(image, c) != width || jas_image_cmptheight(image, c) != height) return 0;
  int64_t bytes = imageBytes(width, height, bytesPerPixel);
  if (bytes <= 0) return 0;
  RKBuffer* buffer = newPixelBuffer(bytes);
  if (!buffer) return 0;
  adviseLargePages(buffer->getData(0), bytes);
  m_decoded = buffer;
  m_width = int(width);
  m_height = int(height);
  return 1;
}

int RKJasperDecoder::copyComponent(jas_image_t* image, int c, int step, int offset, bool raw, int rowBase,
                                   int rowCount) {
  JasperMatrix row(m_width);
  if (!row.matrix) return 0;
  SampleScale scale(jas_image_cmptprec(image, c), jas_image_cmptsgnd(image, c), raw);
  u8* out = m_decoded->getData(0) + offset;
  for (int y = 0; y < m_height; ++y) {
    if (jas_image_readcmpt(image, c, 0, y, m_width, 1, row.matrix) != 0) return 0;
    const jas_seqent_t* in = jas_matrix_getref(row.matrix, 0, 0);
    if (!in) return 0;
    for (int x = 0; x < m_width; ++x, out += step) *out = scale(in[x]);
    if (rowCount > 0) notifyRow(rowBase + y, rowCount);
  }
  return 1;
}

int RKJasperDecoder::copyColour(jas_image_t* image, const int byteOf[3]) {
  const int count = jas_image_numcmpts(image);
  if (!makeDecoded(image, 3)) return 0;
  if (count == 3 && copyEightBitColour(image, byteOf)) return 1;
  for (int c = 0; c < count; ++c) {
    int type = int(jas_image_cmpttype(image, c));
    // Only the three colour types have a place in the pixel.
    if (type < 0 || type > 2) return 0;
    if (!copyComponent(image, c, 3, byteOf[type], false, m_height * c, m_height * count)) return 0;
  }
  return 1;
}

// Three unsigned 8-bit components, one of each colour type: each output row is written once,
// from a row of every component, instead of three passes over the whole picture. The progress
// calls come afterwards in the order of the component-by-component copy. 0 (nothing written)
// when the components are of another kind.
int RKJasperDecoder::copyEightBitColour(jas_image_t* image, const int byteOf[3]) {
  int place[3];
  int seen = 0;
  for (int c = 0; c < 3; ++c) {
    const int type = int(jas_image_cmpttype(image, c));
    if (type < 0 || type > 2 || (seen & (1 << type)) || jas_image_cmptprec(image, c) != 8 ||
        jas_image_cmptsgnd(image, c))
      return 0;
    seen |= 1 << type;
    place[c] = byteOf[type];
  }
  JasperMatrix rows[3] = {JasperMatrix(m_width), JasperMatrix(m_width), JasperMatrix(m_width)};
  for (const JasperMatrix& row : rows)
    if (!row.matrix) return 0;
  u8* out = m_decoded->getData(0);
  for (int y = 0; y < m_height; ++y) {
    const jas_seqent_t* in[3];
    for (int c = 0; c < 3; ++c) {
      if (jas_image_readcmpt(image, c, 0, y, m_width, 1, rows[c].matrix) != 0) return 0;
      in[c] = jas_matrix_getref(rows[c].matrix, 0, 0);
      if (!in[c]) return 0;
    }
    for (int x = 0; x < m_width; ++x, out += 3)
      for (int c = 0; c < 3; ++c) {
        const jas_seqent_t v = in[c][x];
        out[place[c]] = u8(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
  }
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < m_height; ++y) notifyRow(m_height * c + y, m_height * 3);
  return 1;
}

}  // namespace RKSDK
