#include "protocol/checked_iarchive.h"

#include <algorithm>
#include <boost/archive/archive_exception.hpp>
#include <boost/archive/basic_archive.hpp>
#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_binary_iarchive.ipp>
#include <boost/archive/impl/basic_binary_iprimitive.ipp>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/export_keys.h"
#include "protocol/packet.h"

namespace grd_svr {
namespace {

[[noreturn]] void Refuse(const char* what) {
  throw std::runtime_error(std::string("undecodable packet archive: ") + what);
}

}  // namespace

constexpr std::size_t kSignatureLength = 22;  // "serialization::archive"

// Boost's standard header: the signature string with its length, the
// library version (2 bytes), four type sizes and the byte-order int.
constexpr std::size_t HeaderLength(WireLayout layout) {
  return SizeFieldBytes(layout) + kSignatureLength + 2 + 4 + 4;
}

bool CCheckedIArchive::DetectLayout(const char* data, std::size_t size, WireLayout* layout) {
  if (data == nullptr || size < 8) return false;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(data);
  if (b[0] != kSignatureLength || b[1] != 0 || b[2] != 0 || b[3] != 0) return false;
  const bool wide = b[4] == 0 && b[5] == 0 && b[6] == 0 && b[7] == 0;
  *layout = wide ? WireLayout::k64Bit : WireLayout::k32Bit;
  return true;
}

CCheckedIArchive::CCheckedIArchive(CMemoryInputBuffer& source) : Base(source, 0), source_(source) {
  if (!DetectLayout(source.next(), source.remaining(), &layout_)) Refuse("no archive header");
  // Boost reads the version byte without checking for the end of input.
  if (source.remaining() < HeaderLength(layout_)) Refuse("shorter than an archive header");
  ReadHeader();
  const unsigned version = get_library_version();
  if (version < kOldestLibraryVersion || version > boost::archive::BOOST_ARCHIVE_VERSION()) {
    Refuse("unsupported archive library version");
  }
}

// Boost's own header check demands the reader's size of long, which the
// layouts do not share.
void CCheckedIArchive::ReadHeader() {
  boost::archive::basic_binary_iarchive<CCheckedIArchive>::init();
  unsigned char sizes[4];
  load_binary(sizes, sizeof(sizes));
  const bool long_fits = sizes[1] == 4 || (sizes[1] == 8 && layout_ == WireLayout::k64Bit);
  if (sizes[0] != 4 || !long_fits || sizes[2] != 4 || sizes[3] != 8) {
    Refuse("fundamental type sizes of another platform");
  }
  std::int32_t byte_order = 0;
  load_binary(&byte_order, sizeof(byte_order));
  if (byte_order != 1) Refuse("byte order of another platform");
}

std::size_t CCheckedIArchive::LoadSizeField() {
  // Little-endian either way (the header's byte-order check holds the
  // archive to ours): the narrow field fills the low bytes.
  std::uint64_t value = 0;
  const std::size_t width = size_field_bytes();
  RequireBytes(width, 1);
  std::memcpy(&value, source_.Take(width), width);
  if (value > remaining()) Refuse("length exceeds the message");
  return static_cast<std::size_t>(value);
}

void CCheckedIArchive::RequireBytes(std::size_t n, std::size_t element_size) const {
  if (element_size != 0 && n > remaining() / element_size) Refuse("length exceeds the message");
}

const char* CCheckedIArchive::TakeBytes(std::size_t n) {
  RequireBytes(n, 1);
  return source_.Take(n);
}

void CCheckedIArchive::DestroyCreated() {
  delete created_;
  created_ = nullptr;
}

void CCheckedIArchive::load(std::string& s) {
  const std::size_t length = LoadSizeField();
  s.resize(length);
  if (length > 0) load_binary(&s[0], length);
}

void CCheckedIArchive::load(bool& b) {
  unsigned char byte = 0;
  load_binary(&byte, 1);
  if (byte > 1) Refuse("bool out of range");
  b = byte == 1;
}

void CCheckedIArchive::load_override(boost::serialization::collection_size_type& t) {
  t = boost::serialization::collection_size_type(LoadSizeField());
}

// The one pointer of a packet archive is the shared pointer's. When its class
// id is read, Boost has numbered two classes: 0 the shared pointer itself,
// 1 CGSvrPacket, the pointer's static type. The pointee's class is one of
// them or the next, 2; Boost would index its table with anything larger.
void CCheckedIArchive::load_override(boost::archive::class_id_type& t) {
  if (pointer_read_) Refuse("more than one pointer");
  pointer_read_ = true;
  Base::load_override(t);
  const int id = t;
  if (id < -1 || id > 2) Refuse("class id out of range");
}

// The first class information of a packet archive is the shared pointer's.
// Untracked, it leaves Boost's object table empty when the packet pointer
// is read, so that pointer can only name a new object, never an old one.
void CCheckedIArchive::load_override(boost::archive::tracking_type& t) {
  unsigned char byte = 0;
  load_binary(&byte, 1);
  if (byte > 1) Refuse("tracking flag out of range");
  if (!tracking_read_ && byte != 0) Refuse("tracked shared pointer");
  tracking_read_ = true;
  t = boost::archive::tracking_type(byte == 1);
}

void CCheckedIArchive::load_override(boost::archive::class_name_type& t) {
  Base::load_override(t);
  const std::vector<std::string>& keys = PacketExportKeys();
  const char* name = t;
  // keys[0] is CGSvrPacket's own key: not a derived class.
  if (std::find(keys.begin() + 1, keys.end(), name) == keys.end()) Refuse("unknown class name");
}

void CCheckedIArchive::load_override(boost::archive::class_id_reference_type& t) {
  load_override(static_cast<boost::archive::class_id_type&>(t));
}

}  // namespace grd_svr

template class boost::archive::basic_binary_iarchive<grd_svr::CCheckedIArchive>;
template class boost::archive::basic_binary_iprimitive<grd_svr::CCheckedIArchive, char,
                                                       std::char_traits<char>>;
template class boost::archive::detail::archive_serializer_map<grd_svr::CCheckedIArchive>;
