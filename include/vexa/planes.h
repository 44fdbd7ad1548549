/* The decoder's picture planes: two sets of Y, two chroma planes and alpha. */
#ifndef VEXA_PLANES_H
#define VEXA_PLANES_H

#include <stdint.h>

#include "vexa/export.h"

VEXA_EXTERN_C_BEGIN

enum { PlaneY = 0, PlaneChroma1 = 1, PlaneChroma2 = 2, PlaneA = 3 };

typedef struct VideoPlane {
  uint32_t Wanted;    /* 1 = the plane exists */
  uint8_t* Pixels;    /* top-left pixel */
  uint32_t Pitch;     /* bytes between rows */
} VideoPlane;

typedef struct VideoPlanes {
  uint32_t SetCount;      /* 1 for a one-frame movie (decoded in place), else 2 */
  uint32_t Width;         /* luma width, the file's width rounded up to 8 */
  uint32_t Height;        /* luma height, rounded up to 8 */
  uint32_t ChromaWidth;   /* (width + 1) / 2 rounded up to 8 */
  uint32_t ChromaHeight;  /* (height + 1) / 2 rounded up to 8 */
  uint32_t Current;       /* the set holding the last finished frame */
  VideoPlane Sets[2][4];  /* Y, first chroma, second chroma, A */
} VideoPlanes;

VEXA_EXTERN_C_END

#endif
