/* Declaration macros of the exported C interface. */
#ifndef MIRL_EXPORTS_MIRL_API_H_
#define MIRL_EXPORTS_MIRL_API_H_

#ifdef __cplusplus
#define MIRL_EXTERN_C extern "C"
#else
#define MIRL_EXTERN_C
#endif

/* Every export is a plain C function with an unmangled name. MIRL_INTERNAL
 * marks a function with C linkage that must stay inside the library. */
#ifdef _WIN32
#define MIRL_API MIRL_EXTERN_C __declspec(dllexport)
#define MIRL_INTERNAL
#else
#define MIRL_API MIRL_EXTERN_C __attribute__((visibility("default")))
#define MIRL_INTERNAL __attribute__((visibility("hidden")))
#endif

/* getpid shares the C library's name, so its C++ declaration must say
 * noexcept exactly where the C library's does: glibc's does, the Windows
 * runtime's does not. */
#if defined(__cplusplus) && !defined(_WIN32)
#define MIRL_GETPID_NOEXCEPT noexcept
#else
#define MIRL_GETPID_NOEXCEPT
#endif

#endif /* MIRL_EXPORTS_MIRL_API_H_ */
