// Library set-up, memory streams, the image model with its queries, matrices and sample reads, and
// the dispatch to the format decoders.
#include "internal.h"

#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

using rkjas::Component;

namespace {

enum Format { kFormatPnm = 0, kFormatPgx = 1, kFormatRas = 2 };

// Large sample planes are written whole right after they are made: backing them with large pages
// saves a fault for each small page. Only a hint.
void adviseLargePages(void *data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const uintptr_t huge = uintptr_t(1) << 21;
  if (bytes < 4 * huge) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + huge - 1) & ~(huge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(huge - 1);
  if (end > begin) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

const Component *component(const jas_image_t *image, int cmptno) {
  if (!image || cmptno < 0 || size_t(cmptno) >= image->cmpts.size()) return nullptr;
  return &image->cmpts[size_t(cmptno)];
}

}  // namespace

namespace rkjas {

std::unique_ptr<jas_image_t> makeImage(jas_clrspc_t clrspc, int count, int64_t width, int64_t height, int prec,
                                       int sgnd, bool compact) {
  if (count <= 0 || width <= 0 || height <= 0 || prec <= 0 || prec > 31) return nullptr;
  if (uint64_t(width) > kMaxSamples || uint64_t(height) > kMaxSamples) return nullptr;
  const uint64_t plane = uint64_t(width) * uint64_t(height);
  if (plane > kMaxSamples / uint64_t(count)) return nullptr;
  std::unique_ptr<jas_image_t> image(new (std::nothrow) jas_image_t);
  if (!image) return nullptr;
  try {
    image->clrspc = clrspc;
    image->cmpts.resize(size_t(count));
    for (Component &c : image->cmpts) {
      c.width = int(width);
      c.height = int(height);
      c.prec = prec;
      c.sgnd = sgnd;
      if (compact && !sgnd && prec <= 8) {
        c.bytes.reset(new uint8_t[size_t(plane)]);
        adviseLargePages(c.bytes.get(), size_t(plane));
      } else {
        c.samples.assign(size_t(plane), 0);
      }
    }
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  return image;
}

}  // namespace rkjas

extern "C" {

int jas_init(void) { return 0; }

void jas_cleanup(void) {}

jas_stream_t *jas_stream_memopen(char *buf, int bufsize) {
  if (bufsize < 0) return nullptr;
  jas_stream_t *s = new (std::nothrow) jas_stream_t;
  if (!s) return nullptr;
  s->data = reinterpret_cast<const unsigned char *>(buf);
  s->size = buf ? size_t(bufsize) : 0;
  s->pos = 0;
  return s;
}

int jas_stream_close(jas_stream_t *stream) {
  delete stream;
  return 0;
}

int jas_image_strtofmt(const char *name) {
  if (!name) return -1;
  if (std::strcmp(name, "pnm") == 0) return kFormatPnm;
  if (std::strcmp(name, "pgx") == 0) return kFormatPgx;
  if (std::strcmp(name, "ras") == 0) return kFormatRas;
  return -1;
}

jas_image_t *jas_image_decode(jas_stream_t *in, int fmt, const char *optstr) {
  switch (fmt) {
    case kFormatPnm:
      return pnm_decode(in, optstr);
    case kFormatPgx:
      return pgx_decode(in, optstr);
    case kFormatRas:
      return ras_decode(in, optstr);
    default:
      return nullptr;
  }
}

void jas_image_destroy(jas_image_t *image) { delete image; }

int jas_image_numcmpts(const jas_image_t *image) { return image ? int(image->cmpts.size()) : 0; }

jas_clrspc_t jas_image_clrspc(const jas_image_t *image) { return image ? image->clrspc : JAS_CLRSPC_UNKNOWN; }

// Every component of the decoded formats spans the whole image at the origin.
jas_image_coord_t jas_image_width(const jas_image_t *image) {
  const Component *c = component(image, 0);
  return c ? c->width : 0;
}

jas_image_coord_t jas_image_height(const jas_image_t *image) {
  const Component *c = component(image, 0);
  return c ? c->height : 0;
}

jas_image_coord_t jas_image_cmptwidth(const jas_image_t *image, int cmptno) {
  const Component *c = component(image, cmptno);
  return c ? c->width : 0;
}

jas_image_coord_t jas_image_cmptheight(const jas_image_t *image, int cmptno) {
  const Component *c = component(image, cmptno);
  return c ? c->height : 0;
}

int jas_image_cmptprec(const jas_image_t *image, int cmptno) {
  const Component *c = component(image, cmptno);
  return c ? c->prec : 0;
}

int jas_image_cmptsgnd(const jas_image_t *image, int cmptno) {
  const Component *c = component(image, cmptno);
  return c ? c->sgnd : 0;
}

jas_image_cmpttype_t jas_image_cmpttype(const jas_image_t *image, int cmptno) {
  const Component *c = component(image, cmptno);
  return c ? c->type : JAS_IMAGE_CT_UNKNOWN;
}

jas_matrix_t *jas_matrix_create(jas_matind_t numrows, jas_matind_t numcols) {
  if (numrows < 0 || numcols < 0) return nullptr;
  if (numcols > 0 && uint64_t(numrows) > rkjas::kMaxSamples / uint64_t(numcols)) return nullptr;
  jas_matrix_t *m = new (std::nothrow) jas_matrix_t;
  if (!m) return nullptr;
  try {
    m->entries.assign(size_t(numrows) * size_t(numcols), 0);
  } catch (const std::bad_alloc &) {
    delete m;
    return nullptr;
  }
  m->rows = numrows;
  m->cols = numcols;
  return m;
}

void jas_matrix_destroy(jas_matrix_t *matrix) { delete matrix; }

jas_matind_t jas_matrix_numrows(const jas_matrix_t *matrix) { return matrix ? matrix->rows : 0; }

jas_matind_t jas_matrix_numcols(const jas_matrix_t *matrix) { return matrix ? matrix->cols : 0; }

jas_seqent_t *jas_matrix_getref(jas_matrix_t *matrix, jas_matind_t i, jas_matind_t j) {
  if (!matrix || i < 0 || j < 0 || i >= matrix->rows || j >= matrix->cols) return nullptr;
  return &matrix->entries[size_t(i) * size_t(matrix->cols) + size_t(j)];
}

jas_seqent_t jas_matrix_get(const jas_matrix_t *matrix, jas_matind_t i, jas_matind_t j) {
  if (!matrix || i < 0 || j < 0 || i >= matrix->rows || j >= matrix->cols) return 0;
  return matrix->entries[size_t(i) * size_t(matrix->cols) + size_t(j)];
}

int_fast32_t jas_image_readcmptsample(jas_image_t *image, int cmptno, int x, int y) {
  const Component *c = component(image, cmptno);
  if (!c || x < 0 || y < 0 || x >= c->width || y >= c->height) return 0;
  return c->at(size_t(y) * size_t(c->width) + size_t(x));
}

int jas_image_readcmpt(jas_image_t *image, int cmptno, jas_image_coord_t x, jas_image_coord_t y,
                       jas_image_coord_t width, jas_image_coord_t height, jas_matrix_t *data) {
  const Component *c = component(image, cmptno);
  if (!c || !data || x < 0 || y < 0 || width < 0 || height < 0) return -1;
  if (x > c->width - width || y > c->height - height) return -1;
  if (data->rows != height || data->cols != width) {
    try {
      data->entries.assign(size_t(width) * size_t(height), 0);
    } catch (const std::bad_alloc &) {
      return -1;
    }
    data->rows = height;
    data->cols = width;
  }
  jas_seqent_t *out = data->entries.data();
  for (jas_image_coord_t row = 0; row < height; ++row) {
    const size_t start = size_t(y + row) * size_t(c->width) + size_t(x);
    if (c->view) {
      const uint8_t *in = c->view + start * c->step;
      for (jas_image_coord_t col = 0; col < width; ++col, in += c->step) *out++ = *in;
    } else if (c->compact()) {
      const uint8_t *in = c->bytes.get() + start;
      for (jas_image_coord_t col = 0; col < width; ++col) *out++ = in[col];
    } else {
      const int32_t *in = c->samples.data() + start;
      for (jas_image_coord_t col = 0; col < width; ++col) *out++ = in[col];
    }
  }
  return 0;
}

}  // extern "C"
