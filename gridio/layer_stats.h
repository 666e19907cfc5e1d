// Exact statistics of a layer's valid cells on its own grid.
#ifndef GRIDIO_LAYER_STATS_H_
#define GRIDIO_LAYER_STATS_H_

#include "layer.h"

namespace gridio {

struct LayerStats {
  double minimum = 0.0;
  double maximum = 0.0;
  double mean = 0.0;
  // Population standard deviation (divided by the count).
  double std_dev = 0.0;
  long long count = 0;
};

// Reads every row once; all fields 0 when no cell is valid. Throws GioError.
LayerStats ComputeStats(Layer& layer);

}  // namespace gridio

#endif  // GRIDIO_LAYER_STATS_H_
