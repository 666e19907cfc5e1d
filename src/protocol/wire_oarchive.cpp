#include "protocol/wire_oarchive.h"

#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_binary_oarchive.ipp>
#include <boost/archive/impl/basic_binary_oprimitive.ipp>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace grd_svr {

CWireOArchive::CWireOArchive(std::streambuf& sink, WireLayout layout)
    : Base(sink, 0), layout_(layout) {
  WriteHeader();
}

// Boost's header: signature and library version, then the sizes of int,
// long, float and double and the byte-order int. Only long differs between
// writers of the two layouts.
void CWireOArchive::WriteHeader() {
  boost::archive::basic_binary_oarchive<CWireOArchive>::init();
  unsigned char long_size = sizeof(long);
  if (layout_ != NativeWireLayout()) long_size = layout_ == WireLayout::k64Bit ? 8 : 4;
  const unsigned char sizes[4] = {sizeof(int), long_size, sizeof(float), sizeof(double)};
  save_binary(sizes, sizeof(sizes));
  const std::int32_t byte_order = 1;
  save_binary(&byte_order, sizeof(byte_order));
}

void CWireOArchive::SaveSizeField(std::size_t n) {
  // Little-endian: the narrow field is the low bytes.
  const std::uint64_t value = n;
  if (SizeFieldBytes(layout_) == 4 && value > 0xffffffffu)
    throw std::length_error("a length beyond the 32-bit layout");
  save_binary(&value, SizeFieldBytes(layout_));
}

void CWireOArchive::save(const std::string& s) {
  SaveSizeField(s.size());
  if (!s.empty()) save_binary(s.data(), s.size());
}

void CWireOArchive::save_override(const boost::serialization::collection_size_type& t) {
  SaveSizeField(t);
}

}  // namespace grd_svr

template class boost::archive::basic_binary_oarchive<grd_svr::CWireOArchive>;
template class boost::archive::basic_binary_oprimitive<grd_svr::CWireOArchive, char,
                                                       std::char_traits<char>>;
template class boost::archive::detail::archive_serializer_map<grd_svr::CWireOArchive>;
