/* Exports of the sysutil family; see mirl_lib.h for the shared conventions. */
#ifndef MIRL_EXPORTS_SYSUTIL_API_H_
#define MIRL_EXPORTS_SYSUTIL_API_H_

#include "exports/mirl_api.h"

#endif
