// The coordinate reference system (CRS) a new layer takes.
//
// Packets carry no CRS, so the library decides it from what it has seen. A
// layer created by CellLayerCreate takes, in this order:
//  1. the CRS of the layer it replaces on the same cells: the layer its
//     directory still holds, or the one CellLyrDelete removed in the entry
//     call just before (for a caller that deletes a layer, then creates it
//     again); writing into an existing layer never changes its CRS;
//  2. the CRS the host named for the access window in force
//     (AccessWindowCrsSet, after AccessWindowSet): a window made from the
//     geometry of a raster the host holds, whose CRS it knows;
//  3. when the access window was set on the cells of the layer that
//     DescribeGridDbl described last (a window set from a grid): that
//     layer's CRS;
//  4. otherwise (a window made from numbers): the CRS every other layer of
//     its workspace (the directory holding the new layer's directory)
//     shares; none when they disagree, when one has none, or when there are
//     none.
// Updates in place, conversions and GridCopy keep a layer's CRS as it is.
//
// Thread safety: touched only inside the entry frame, under the library
// lock.
#ifndef GRIDIO_LAYER_CRS_H_
#define GRIDIO_LAYER_CRS_H_

#include <gdal.h>

#include <string>

#include "grid_geometry.h"

namespace gridio {

// A layer's cells and CRS (WKT; empty: none).
struct LayerCrs {
  LayerGrid grid;
  std::string wkt;
};

// The WKT of dataset's CRS; empty when it has none.
std::string DatasetCrs(GDALDatasetH dataset);

// The cells and CRS of the layer in directory dir; false when it holds none
// that this library serves.
bool ReadLayerCrs(const std::string& dir, LayerCrs* crs);

// What the rules above remember, recorded by the entry points: the layer
// just described, the layer just deleted (in entry call `call`), the window
// just set (which forgets the CRS the host named for the one before), and
// the CRS the host names for it (empty: none, rules 3 and 4 decide).
void NoteDescribed(const LayerCrs& layer);
void NoteDeleted(const std::string& dir, const LayerCrs& layer, unsigned long call);
void NoteWindow(const WindowGrid& window);
void NoteWindowCrs(const std::string& wkt);

// Whether GDAL reads wkt as a CRS (WKT of either version, or what
// OSRSetFromUserInput takes, such as "EPSG:3035").
bool ReadableCrs(const std::string& wkt);

// Forgets all of it (GridIOExit), freeing what it holds.
void ForgetCrsMemory();

// The CRS of a layer about to be created in dir (absolute, as
// NormalLayerDirectory gives it) on grid, in entry call `call`; replaced:
// the layer the directory still holds, or null.
std::string CrsForNewLayer(const std::string& dir, const LayerGrid& grid,
                           const LayerCrs* replaced, unsigned long call);

}  // namespace gridio

#endif  // GRIDIO_LAYER_CRS_H_
