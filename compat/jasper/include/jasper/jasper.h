/* Image codec library interface: memory streams, the PNM, PGX and Sun raster decoders, image and
 * component queries and sample reads. Written for builds on machines that have no system copy of
 * the library; only the calls the imaging layer makes are provided. */
#ifndef RK_JASPER_JASPER_H
#define RK_JASPER_JASPER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- library set-up ---- */

int jas_init(void);
void jas_cleanup(void);

/* ---- streams ---- */

typedef struct jas_stream_t jas_stream_t;

/* A stream that reads the bufsize bytes at buf (which must outlive the stream). A null buf or a
 * size of 0 gives an empty stream; a negative size gives null. */
jas_stream_t *jas_stream_memopen(char *buf, int bufsize);
int jas_stream_close(jas_stream_t *stream);

/* ---- colour spaces ---- */

typedef int jas_clrspc_t;

#define jas_clrspc_create(fam, mbr) (((fam) << 8) | (mbr))
#define jas_clrspc_fam(clrspc) ((clrspc) >> 8)
#define jas_clrspc_mbr(clrspc) ((clrspc)&0xff)

#define JAS_CLRSPC_FAM_UNKNOWN 0
#define JAS_CLRSPC_FAM_XYZ 1
#define JAS_CLRSPC_FAM_LAB 2
#define JAS_CLRSPC_FAM_GRAY 3
#define JAS_CLRSPC_FAM_RGB 4
#define JAS_CLRSPC_FAM_YCBCR 5

#define JAS_CLRSPC_UNKNOWN jas_clrspc_create(JAS_CLRSPC_FAM_UNKNOWN, 0)
#define JAS_CLRSPC_SGRAY jas_clrspc_create(JAS_CLRSPC_FAM_GRAY, 1)
#define JAS_CLRSPC_SRGB jas_clrspc_create(JAS_CLRSPC_FAM_RGB, 1)

/* ---- component types ---- */

typedef int_fast32_t jas_image_cmpttype_t;
typedef int_fast32_t jas_image_coord_t;

#define JAS_IMAGE_CT_UNKNOWN 0x10000
#define JAS_IMAGE_CT_COLOR(n) ((n)&0x7fff)
#define JAS_IMAGE_CT_OPACITY 0x08000

#define JAS_IMAGE_CT_RGB_R 0
#define JAS_IMAGE_CT_RGB_G 1
#define JAS_IMAGE_CT_RGB_B 2
#define JAS_IMAGE_CT_GRAY_Y 0

/* ---- images ---- */

typedef struct jas_image_t jas_image_t;

/* Format identifier by name ("pnm", "pgx", "ras"), or -1. */
int jas_image_strtofmt(const char *name);
/* Decodes the image at the stream's position with the decoder of fmt; null on any failure. The
 * image may read samples in place from the stream's bytes: they must outlive the image. */
jas_image_t *jas_image_decode(jas_stream_t *in, int fmt, const char *optstr);
void jas_image_destroy(jas_image_t *image);

/* The format decoders themselves (PBM/PGM/PPM, PGX, Sun raster). */
jas_image_t *pnm_decode(jas_stream_t *in, const char *optstr);
jas_image_t *pgx_decode(jas_stream_t *in, const char *optstr);
jas_image_t *ras_decode(jas_stream_t *in, const char *optstr);

int jas_image_numcmpts(const jas_image_t *image);
jas_clrspc_t jas_image_clrspc(const jas_image_t *image);
jas_image_coord_t jas_image_width(const jas_image_t *image);
jas_image_coord_t jas_image_height(const jas_image_t *image);

/* Component queries; an index out of range gives 0 (JAS_IMAGE_CT_UNKNOWN for the type). */
jas_image_coord_t jas_image_cmptwidth(const jas_image_t *image, int cmptno);
jas_image_coord_t jas_image_cmptheight(const jas_image_t *image, int cmptno);
int jas_image_cmptprec(const jas_image_t *image, int cmptno);
int jas_image_cmptsgnd(const jas_image_t *image, int cmptno);
jas_image_cmpttype_t jas_image_cmpttype(const jas_image_t *image, int cmptno);

/* ---- sample reads ---- */

typedef int_fast32_t jas_seqent_t;
typedef int_fast32_t jas_matind_t;
typedef struct jas_matrix_t jas_matrix_t;

jas_matrix_t *jas_matrix_create(jas_matind_t numrows, jas_matind_t numcols);
void jas_matrix_destroy(jas_matrix_t *matrix);
jas_matind_t jas_matrix_numrows(const jas_matrix_t *matrix);
jas_matind_t jas_matrix_numcols(const jas_matrix_t *matrix);
/* Address of entry (i, j), or null outside the matrix. Rows are contiguous. */
jas_seqent_t *jas_matrix_getref(jas_matrix_t *matrix, jas_matind_t i, jas_matind_t j);
jas_seqent_t jas_matrix_get(const jas_matrix_t *matrix, jas_matind_t i, jas_matind_t j);

/* One sample of a component; 0 outside it. */
int_fast32_t jas_image_readcmptsample(jas_image_t *image, int cmptno, int x, int y);
/* The width x height samples at (x, y) into data, resized to height rows of width columns when
 * its shape differs. 0 on success, -1 when the area leaves the component. */
int jas_image_readcmpt(jas_image_t *image, int cmptno, jas_image_coord_t x, jas_image_coord_t y,
                       jas_image_coord_t width, jas_image_coord_t height, jas_matrix_t *data);

#ifdef __cplusplus
}
#endif

#endif
