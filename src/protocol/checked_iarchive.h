// The archive that decodes packets from the network. It reads exactly the
// format of boost::archive::binary_iarchive and differs only in refusing,
// with an exception, input that the stock archive would trust:
//  - a string, a collection or a cell vector longer than the bytes that are
//    left (checked before anything is allocated);
//  - a bool byte other than 0 or 1;
//  - a pointer class id other than null, the pointer's static class or the
//    next class to register (Boost indexes its class table with it unchecked);
//  - a second pointer (a packet archive holds exactly one);
//  - a class name other than the export key of a class derived from
//    CGSvrPacket (the base class is the pointer's static class and never
//    travels by name; any other name makes Boost index past its tables);
//  - a tracked shared pointer (it would let the packet pointer refer back
//    to the shared pointer object itself), or a tracking byte other than 0
//    or 1;
//  - an archive library version outside [kOldestLibraryVersion, ours];
//  - a header whose sizes of int, float and double or byte order are not
//    ours, or whose size of long does not fit the layout (4 bytes in the
//    32-bit layout; 4 or 8 in the 64-bit one, which 64-bit Windows and
//    64-bit Linux writers share; no packet field is a long).
// Both layouts of wire_layout.h are read, the one the header shows, with
// the same refusals and limits; a size field of either width is refused
// before it is narrowed when it exceeds the bytes that are left.
// Every refusal is a std::exception; callers turn it into their own outcome.
//
// Boost frees neither the packet nor its fields when a pointer load fails
// half-way, so the packet a load constructs is noted here (see
// load_construct_data in packet_serialize.h); a caller whose load threw
// before a shared pointer took the packet destroys it with DestroyCreated.
//
// Reads from a CMemoryInputBuffer, which must outlive the archive. One
// archive per message, one thread.
#ifndef MIRL_PROTOCOL_CHECKED_IARCHIVE_H_
#define MIRL_PROTOCOL_CHECKED_IARCHIVE_H_

#include <boost/archive/binary_iarchive_impl.hpp>
#include <boost/archive/detail/register_archive.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <cstddef>
#include <string>

#include "protocol/memory_buffers.h"
#include "protocol/wire_layout.h"

namespace grd_svr {

class CGSvrPacket;

class CCheckedIArchive
    : public boost::archive::binary_iarchive_impl<CCheckedIArchive, char, std::char_traits<char>> {
  using Base = boost::archive::binary_iarchive_impl<CCheckedIArchive, char, std::char_traits<char>>;

 public:
  // Oldest archive library version we decode: the protocol was defined on
  // version 9 (Boost 1.47) and nothing older ever spoke it; versions 7 and
  // below also lay out Boost's bookkeeping fields differently.
  static constexpr unsigned kOldestLibraryVersion = 9;

  // Reads and checks the archive header at once.
  explicit CCheckedIArchive(CMemoryInputBuffer& source);

  // The layout of an archive that begins with the size bytes at data, told
  // from its first field; false when they cannot begin an archive.
  static bool DetectLayout(const char* data, std::size_t size, WireLayout* layout);

  // The layout of this archive.
  WireLayout layout() const { return layout_; }
  // Bytes of one size field in it.
  std::size_t size_field_bytes() const { return SizeFieldBytes(layout_); }

  // Bytes of the message not yet read.
  std::size_t remaining() const { return source_.remaining(); }
  // Throws unless n elements of element_size bytes each can still follow.
  void RequireBytes(std::size_t n, std::size_t element_size) const;
  // Consumes the next n bytes of the message and returns where they sit in
  // the caller's buffer; throws, consuming nothing, unless n bytes are left.
  const char* TakeBytes(std::size_t n);

  // The packet most recently constructed by a pointer load.
  void NoteCreated(CGSvrPacket* packet) { created_ = packet; }
  // Destroys that packet; only for a load that failed before it was owned.
  void DestroyCreated();

 private:
  friend class boost::archive::detail::interface_iarchive<CCheckedIArchive>;
  friend class boost::archive::basic_binary_iarchive<CCheckedIArchive>;
  friend class boost::archive::basic_binary_iprimitive<CCheckedIArchive, char,
                                                       std::char_traits<char>>;
  friend class boost::archive::load_access;

  void ReadHeader();
  // A string length or collection count of the archive's width, refused
  // when it exceeds the bytes left.
  std::size_t LoadSizeField();

  using Base::load;
  void load(std::string& s);
  void load(bool& b);

  template <class T>
  void load_override(T& t) {
    Base::load_override(t);
  }
  void load_override(boost::serialization::collection_size_type& t);
  void load_override(boost::archive::class_id_type& t);
  void load_override(boost::archive::class_id_reference_type& t);
  void load_override(boost::archive::tracking_type& t);
  void load_override(boost::archive::class_name_type& t);

  CMemoryInputBuffer& source_;
  WireLayout layout_ = NativeWireLayout();
  bool pointer_read_ = false;
  bool tracking_read_ = false;
  CGSvrPacket* created_ = nullptr;
};

}  // namespace grd_svr

BOOST_SERIALIZATION_REGISTER_ARCHIVE(grd_svr::CCheckedIArchive)
BOOST_SERIALIZATION_USE_ARRAY_OPTIMIZATION(grd_svr::CCheckedIArchive)

#endif  // MIRL_PROTOCOL_CHECKED_IARCHIVE_H_
