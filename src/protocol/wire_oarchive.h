// The archive that encodes packets for the network: the format of
// boost::archive::binary_oarchive in either layout of wire_layout.h. In the
// build's native layout its bytes are exactly those of binary_oarchive; in
// the other layout every size field (string lengths, collection counts, the
// header's signature length) takes the other width, and the header records
// the size of long of such a writer (4 bytes for the 32-bit layout, 8 for
// the 64-bit one).
//
// Writes to a std::streambuf, which must outlive the archive. One archive
// per message, one thread.
#ifndef MIRL_PROTOCOL_WIRE_OARCHIVE_H_
#define MIRL_PROTOCOL_WIRE_OARCHIVE_H_

#include <boost/archive/binary_oarchive_impl.hpp>
#include <boost/archive/detail/register_archive.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <cstddef>
#include <streambuf>
#include <string>

#include "protocol/wire_layout.h"

namespace grd_svr {

class CWireOArchive
    : public boost::archive::binary_oarchive_impl<CWireOArchive, char, std::char_traits<char>> {
  using Base = boost::archive::binary_oarchive_impl<CWireOArchive, char, std::char_traits<char>>;

 public:
  // Writes the archive header at once.
  CWireOArchive(std::streambuf& sink, WireLayout layout);

  WireLayout layout() const { return layout_; }

 private:
  friend class boost::archive::detail::interface_oarchive<CWireOArchive>;
  friend class boost::archive::basic_binary_oarchive<CWireOArchive>;
  friend class boost::archive::basic_binary_oprimitive<CWireOArchive, char, std::char_traits<char>>;
  friend class boost::archive::save_access;

  void WriteHeader();
  void SaveSizeField(std::size_t n);

  using Base::save;
  void save(const std::string& s);

  template <class T>
  void save_override(T& t) {
    Base::save_override(t);
  }
  void save_override(const boost::serialization::collection_size_type& t);

  WireLayout layout_;
};

}  // namespace grd_svr

BOOST_SERIALIZATION_REGISTER_ARCHIVE(grd_svr::CWireOArchive)
BOOST_SERIALIZATION_USE_ARRAY_OPTIMIZATION(grd_svr::CWireOArchive)

#endif  // MIRL_PROTOCOL_WIRE_OARCHIVE_H_
