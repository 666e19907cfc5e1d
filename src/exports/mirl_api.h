/* Declaration macros of the exported C interface. */
#ifndef MIRL_EXPORTS_MIRL_API_H_
#define MIRL_EXPORTS_MIRL_API_H_

#ifdef __cplusplus
#define MIRL_EXTERN_C extern "C"
#else
#define MIRL_EXTERN_C
#endif

/* Every export is a plain C function with an unmangled name. */
#define MIRL_API MIRL_EXTERN_C __attribute__((visibility("default")))

#endif /* MIRL_EXPORTS_MIRL_API_H_ */
