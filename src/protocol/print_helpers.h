// Line writers shared by the packet classes whose prints or summaries have
// the same shape.
#ifndef MIRL_PROTOCOL_PRINT_HELPERS_H_
#define MIRL_PROTOCOL_PRINT_HELPERS_H_

#include <cstdint>
#include <ostream>
#include <string>

namespace grd_svr {
namespace print {

// label, value, "\n".
template <typename T>
void Line(std::ostream& os, const char* label, const T& value) {
  os << label << value << "\n";
}

// label, the vector's size, " elements\n".
template <typename V>
void SizeLine(std::ostream& os, const char* label, const V& vector) {
  os << label << static_cast<std::size_t>(vector.size()) << " elements\n";
}

// "GRD[" name "]\n", behind the prefix.
void GridNameSummary(const std::string& prefix, std::ostream& os, const std::string& name);

// "GRD_DIMS[ R<rows> x C<cols> ]\n", behind the prefix.
void DimsSummary(const std::string& prefix, std::ostream& os, std::int32_t rows, std::int32_t cols);

// The three description lines of a grid: name, dimensions, cell type and size.
void DescribeSummary(const std::string& prefix, std::ostream& os, const std::string& name,
                     std::int32_t rows, std::int32_t cols, std::int32_t cell_type,
                     double cell_size);

// The three lines of a named access window: name, dimensions, cell size.
void WindowSummary(const std::string& prefix, std::ostream& os, const std::string& name,
                   std::int32_t rows, std::int32_t cols, double cell_size);

}  // namespace print
}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_PRINT_HELPERS_H_
