// How every packet class is written to and read from an archive: its base
// part first, then its own fields in table order, class version 0, default
// tracking; and the thirteen export keys that name the classes on the wire.
//
// Include this header only where packets are encoded or decoded; it brings
// in the archive headers before export.hpp, as Boost requires of the file
// that instantiates the exports. Writing uses CWireOArchive (Boost's binary
// format in either layout); reading uses CCheckedIArchive (the stock binary_iarchive trusts lengths
// from the wire, and the field loaders below refuse to compile for it).
#ifndef MIRL_PROTOCOL_PACKET_SERIALIZE_H_
#define MIRL_PROTOCOL_PACKET_SERIALIZE_H_

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

// clang-format off
// The archive headers must come before export.hpp.
#include "protocol/checked_iarchive.h"
#include "protocol/wire_oarchive.h"
// clang-format on

#include <boost/serialization/array_wrapper.hpp>
#include <boost/serialization/base_object.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <boost/serialization/export.hpp>
#include <boost/serialization/item_version_type.hpp>
#include <boost/serialization/shared_ptr.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/vector.hpp>

#include "protocol/cell_pool.h"
#include "protocol/cell_reader.h"
#include "protocol/packets.h"

namespace grd_svr {
namespace wire {

// A vector of 4-byte cells: written by Boost's own vector code (count, then
// the cells as one block); read back the same bytes once the count is known
// to fit in the bytes left. The cells go straight from the message into
// storage taken from the cell pool (no zero-fill pass first).
template <class T>
void Cells(CWireOArchive& ar, std::vector<T>& cells) {
  ar << cells;
}

template <class T>
void Cells(CCheckedIArchive& ar, std::vector<T>& cells) {
  static_assert(std::is_arithmetic<T>::value, "cells are plain numbers");
  boost::serialization::collection_size_type count;
  ar >> count;
  // Library versions 4 and 5 put an item version here; they are refused
  // when the archive is opened.
  ar.RequireBytes(count, sizeof(T));
  const std::size_t n = count;
  const char* bytes = ar.TakeBytes(n * sizeof(T));
  std::vector<T> filled;
  TakeCells(filled, n);
  if (reinterpret_cast<std::uintptr_t>(bytes) % alignof(T) == 0) {
    // Cells that happen to sit aligned in the message are one block copy.
    const T* first = reinterpret_cast<const T*>(bytes);
    filled.assign(first, first + n);
  } else {
    filled.assign(CellReader<T>(bytes), CellReader<T>(bytes + n * sizeof(T)));
  }
  cells.swap(filled);
  GiveCells(filled);
}

// A vector of strings, byte for byte as Boost writes std::vector<std::string>
// (class information, count, item version, then each string), read with the
// count checked first: every string costs at least its length field.
class NameList {
 public:
  explicit NameList(std::vector<std::string>& names) : names_(names) {}

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void save(Archive& ar, unsigned int) const {
    const boost::serialization::collection_size_type count(names_.size());
    const boost::serialization::item_version_type item_version(0);
    ar << count << item_version;
    for (const std::string& name : names_) ar << name;
  }
  template <class Archive>
  void load(Archive& ar, unsigned int) {
    boost::serialization::collection_size_type count;
    boost::serialization::item_version_type item_version(0);
    ar >> count >> item_version;
    ar.RequireBytes(count, ar.size_field_bytes());
    names_.assign(count, std::string());
    for (std::string& name : names_) ar >> name;
  }
  BOOST_SERIALIZATION_SPLIT_MEMBER()

  std::vector<std::string>& names_;
};

// clang-format off
template <class Archive>
void Names(Archive& ar, std::vector<std::string>& names) {
  NameList list(names);
  ar & list;
}
// clang-format on

}  // namespace wire

// Boost's own construction of a decoded packet, plus a note to the archive
// so that a packet whose load fails half-way can still be destroyed.
template <class T>
void load_construct_data(CCheckedIArchive& ar, T* t, const unsigned int) {
  static_assert(std::is_base_of<CGSvrPacket, T>::value, "only packets are loaded by pointer");
  ::new (t) T();
  ar.NoteCreated(t);
}

// The formatter reads "ar & a & b", the archive idiom, as declarations.
// clang-format off
template <class Archive>
void CGSvrPacket::serialize(Archive& ar, unsigned int) {
  ar & m_Signature & m_ClientHost & m_ActionID & m_ActionType & m_ErrorCode;
}

template <class Archive>
void CGSvrPk_GridDescribe::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_GridName & m_CellType & m_RowCount & m_ColCount;
  ar & m_XLowerLeft & m_YLowerLeft & m_CellSize;
  ar & m_StatMin & m_StatMax & m_StatMean & m_StatStdDev;
}

template <class Archive>
void CGSvrPk_GridKill::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPk_GridDescribe>(*this);
}

template <class Archive>
void CGSvrPk_GridOp::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPk_GridDescribe>(*this);
  ar & m_MissingINT & m_MissingFLT;
  wire::Cells(ar, m_GrdDataINT);
  wire::Cells(ar, m_GrdDataFLT);
}

template <class Archive>
void CGSvrPk_BlockOp::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_GridName & m_CellType & m_RowCount & m_ColCount;
  ar & m_XLowerLeft & m_YLowerLeft & m_CellSize;
  ar & m_BlkStartRow & m_BlkStartCol & m_MissingINT & m_MissingFLT & m_Transparency;
  wire::Cells(ar, m_BlkDataINT);
  wire::Cells(ar, m_BlkDataFLT);
}

template <class Archive>
void CGSvrPk_PingServer::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
}

template <class Archive>
void CGSvrPk_GridServerRetire::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
}

template <class Archive>
void CGSvrPk_GridCreate::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_GridName & m_CellType & m_RowCount & m_ColCount;
  ar & m_XLowerLeft & m_YLowerLeft & m_CellSize & m_BlockOnly;
}

template <class Archive>
void CGSvrPk_GridCopy::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_SourceGridName & m_DestinationGridName;
}

template <class Archive>
void CGSvrPk_GridList::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_Root;
  wire::Names(ar, m_GridNames);
}

template <class Archive>
void CGSvrPk_AccWndSet::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_GridName & m_RowCount & m_ColCount;
  ar & m_XLowerLeft & m_YLowerLeft & m_CellSize & m_BlockOnly;
}

template <class Archive>
void CGSvrPk_AccWndGet::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_GridName & m_RowCount & m_ColCount;
  ar & m_XLowerLeft & m_YLowerLeft & m_CellSize & m_BlockOnly;
}

template <class Archive>
void CGSvrPk_AccWndMake::serialize(Archive& ar, unsigned int) {
  ar & boost::serialization::base_object<CGSvrPacket>(*this);
  ar & m_RowCount & m_ColCount & m_XLowerLeft & m_YLowerLeft & m_CellSize & m_BlockOnly;
}

// clang-format on

}  // namespace grd_svr

// The wrapper has no identity of its own: like the vector it stands for,
// it is never tracked.
BOOST_CLASS_TRACKING(grd_svr::wire::NameList, boost::serialization::track_never)

BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPacket, "grd_svr::CGSvrPacket")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_GridDescribe, "grd_svr::CGSvrPk_GridDescribe")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_GridOp, "grd_svr::CGSvrPk_GridOp")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_PingServer, "grd_svr::CGSvrPk_PingServer")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_GridServerRetire, "grd_svr::CGSvrPk_GridServerRetire")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_GridKill, "grd_svr::CGSvrPk_GridKill")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_BlockOp, "grd_svr::CGSvrPk_BlockOp")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_GridCreate, "grd_svr::CGSvrPk_GridCreate")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_GridCopy, "grd_svr::CGSvrPk_GridCopy")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_GridList, "grd_svr::CGSvrPk_GridList")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_AccWndGet, "grd_svr::CGSvrPk_AccWndGet")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_AccWndSet, "grd_svr::CGSvrPk_AccWndSet")
BOOST_CLASS_EXPORT_KEY2(grd_svr::CGSvrPk_AccWndMake, "grd_svr::CGSvrPk_AccWndMake")

#endif  // MIRL_PROTOCOL_PACKET_SERIALIZE_H_
