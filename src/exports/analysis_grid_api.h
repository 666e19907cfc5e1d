/* Analysis exports; see mirl_lib.h for the shared conventions. */
#ifndef MIRL_EXPORTS_ANALYSIS_GRID_API_H_
#define MIRL_EXPORTS_ANALYSIS_GRID_API_H_

#include "exports/mirl_api.h"

#endif /* MIRL_EXPORTS_ANALYSIS_GRID_API_H_ */
