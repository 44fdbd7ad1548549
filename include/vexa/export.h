/* VEXA_API marks the library's interface; everything else in the library is built hidden, so the
   shared library exports the interface only.
   On Windows the mark depends on how the library is used: the DLL's own objects are built with
   VEXA_BUILDING_DLL (exported), the static library's objects and the programs that link it are
   built with VEXA_STATIC (plain symbols, so a program that links them exports nothing of Vexa),
   and every other user imports the interface from vexa.dll. */
#ifndef VEXA_EXPORT_H
#define VEXA_EXPORT_H

#if defined(_WIN32)
#  if defined(VEXA_BUILDING_DLL)
#    define VEXA_API __declspec(dllexport)
#  elif defined(VEXA_STATIC)
#    define VEXA_API
#  else
#    define VEXA_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define VEXA_API __attribute__((visibility("default")))
#else
#  define VEXA_API
#endif

#ifdef __cplusplus
#  define VEXA_EXTERN_C_BEGIN extern "C" {
#  define VEXA_EXTERN_C_END }
#else
#  define VEXA_EXTERN_C_BEGIN
#  define VEXA_EXTERN_C_END
#endif

#endif
