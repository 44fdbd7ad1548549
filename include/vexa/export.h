/* Symbol visibility for the Vexa library (static and shared builds share one set of objects). */
#ifndef VEXA_EXPORT_H
#define VEXA_EXPORT_H

#if defined(_WIN32)
#  if defined(VEXA_BUILDING)
#    define VEXA_API __declspec(dllexport)
#  else
#    define VEXA_API
#  endif
#else
#  define VEXA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#  define VEXA_EXTERN_C_BEGIN extern "C" {
#  define VEXA_EXTERN_C_END }
#else
#  define VEXA_EXTERN_C_BEGIN
#  define VEXA_EXTERN_C_END
#endif

#endif
