/* Copying the current picture of a movie into a caller's pixel buffer. */
#ifndef VEXA_COPY_H
#define VEXA_COPY_H

#include <stdint.h>

#include "vexa/export.h"
#include "vexa/movie.h"

VEXA_EXTERN_C_BEGIN

/* Surface types: the low four bits of the copy flags. Pixels are stored little-endian. */
enum {
  SurfaceP8 = 0,      /* palette index r + 8 g + 64 b (3, 3, 2 bits), 2x2 ordered dither */
  SurfaceBGR24 = 1,   /* bytes B, G, R */
  SurfaceRGB24 = 2,   /* bytes R, G, B */
  SurfaceBGRX32 = 3,  /* bytes B, G, R, 0 */
  SurfaceRGBX32 = 4,  /* bytes R, G, B, 0 */
  SurfaceBGRA32 = 5,  /* as BGRX32 with the alpha plane in byte 3 (0 without one) */
  SurfaceRGBA32 = 6,  /* as RGBX32 with the alpha plane in byte 3 (0 without one) */
  Surface4444 = 7,    /* alpha 12-15, red 8-11, green 4-7, blue 0-3, dithered */
  Surface5551 = 8,    /* alpha 15, red 10-14, green 5-9, blue 0-4, dithered */
  Surface555 = 9,     /* red 10-14, green 5-9, blue 0-4, dithered */
  Surface565 = 10,    /* red 11-15, green 5-10, blue 0-4, dithered */
  Surface655 = 11,    /* red 10-15, green 5-9, blue 0-4, dithered */
  Surface664 = 12,    /* red 10-15, green 4-9, blue 0-3, dithered */
  SurfaceYUY2 = 13,   /* packed 4:2:2: Y0, U, Y1, V per pixel pair */
  SurfaceUYVY = 14,   /* packed 4:2:2: U, Y0, V, Y1 per pixel pair */
  SurfacePlanar = 15, /* planar 4:2:0 "YV12": luma plane, then V plane, then U plane (below) */
  SurfaceTypeCount = 16
};

/* Copy flags. Besides these the copy reads MovieFlagSwapUV, OpenGrayscale, OpenNeverSkip and
   OpenNoFillIo (vexa/movie.h); the movie's own scaling mode, MovieFlagSwapUV and OpenGrayscale
   are always added. Every other bit is ignored. */
#define CopySurfaceTypeMask 0x0000000Fu
#define CopySwapAlpha 0x00000800u   /* show the alpha plane in place of luma, and luma as alpha */
#define CopyScaleMask 0x70000000u   /* scaling mode 0..7, as OpenScaleMask */
#define CopyScaleShift 28
#define CopyAll 0x80000000u         /* convert the whole picture even if few blocks changed */

/* Converts the current plane set of movie into dest.
   The buffer holds rows rows of |pitch| bytes; nothing is written outside it. pitch: bytes from
   one destination row to the next, at least one row of the picture; negative when rows run
   upwards, the first row then being written at dest + (rows - 1) * |pitch|. reserved0..3 are
   ignored (pass 0).
   SurfacePlanar: the buffer holds rows * |pitch| * 3 / 2 bytes and |pitch| is even; nothing is
   written outside it. The luma plane is rows rows of |pitch| bytes; the V plane follows at
   dest + rows * |pitch|, then the U plane, each of rows / 2 rows of |pitch| / 2 bytes (one byte
   per 2 x 2 pixels). A negative pitch turns each plane upside down within its own rows. Under
   CopySwapAlpha the luma plane shows the alpha plane; OpenGrayscale fills both chroma planes
   with 128. Width doubling doubles the chroma samples too; in the height-doubling modes every
   chroma row is written twice, even where the luma rows between are left untouched, and in
   scaling mode 6 (even luma rows only) every chroma row is written.
   width, height: the part of the picture to copy, in displayed pixels from the top-left corner.
   Returns 0 for a null movie or destination, a movie without planes, a pitch too small for one
   destination row (or odd, for SurfacePlanar), or an empty rectangle; otherwise 1 when the frame
   was late (its copy dropped, or made anyway under OpenNeverSkip) or its copy had already been
   dropped, else 0. */
VEXA_API uint32_t MovieCopyToSurface(Movie* movie, void* dest, int32_t pitch, uint32_t rows,
                                     uint32_t reserved0, uint32_t reserved1, uint32_t reserved2,
                                     uint32_t reserved3, uint32_t width, uint32_t height,
                                     uint32_t flags);

VEXA_EXTERN_C_END

#endif
