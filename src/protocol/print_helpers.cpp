#include "protocol/print_helpers.h"

namespace grd_svr {
namespace print {

void GridNameSummary(const std::string& prefix, std::ostream& os, const std::string& name) {
  os << prefix << "GRD[" << name << "]\n";
}

void DimsSummary(const std::string& prefix, std::ostream& os, std::int32_t rows,
                 std::int32_t cols) {
  os << prefix << "GRD_DIMS[ R" << rows << " x C" << cols << " ]\n";
}

void DescribeSummary(const std::string& prefix, std::ostream& os, const std::string& name,
                     std::int32_t rows, std::int32_t cols, std::int32_t cell_type,
                     double cell_size) {
  GridNameSummary(prefix, os, name);
  DimsSummary(prefix, os, rows, cols);
  os << prefix << "GRD_CELL[ TYPE: " << cell_type << " , SIZE: " << cell_size << " ]\n";
}

void WindowSummary(const std::string& prefix, std::ostream& os, const std::string& name,
                   std::int32_t rows, std::int32_t cols, double cell_size) {
  GridNameSummary(prefix, os, name);
  DimsSummary(prefix, os, rows, cols);
  os << prefix << "GRD_CELL[ SIZE: " << cell_size << " ]\n";
}

}  // namespace print
}  // namespace grd_svr
