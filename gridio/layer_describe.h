// The statistics DescribeGridDbl reports: those kept with a GeoTIFF layer
// of a million cells or more while its raster is unchanged, else a scan of
// every cell, kept for next time.
#ifndef GRIDIO_LAYER_DESCRIBE_H_
#define GRIDIO_LAYER_DESCRIBE_H_

#include <memory>
#include <string>

#include "layer.h"
#include "layer_stats.h"

namespace gridio {

// Statistics of the layer in directory dir, open for reading as *layer
// (which a scan may replace by a fresh open). Throws GioError.
LayerStats DescribedStats(const std::string& dir, std::unique_ptr<Layer>* layer);

}  // namespace gridio

#endif  // GRIDIO_LAYER_DESCRIBE_H_
