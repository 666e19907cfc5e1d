// A packet's payload encoded without copying its large blocks: the bytes
// the archive formats itself (header, numbers, short strings, counts) are
// kept here, while every block of kReferredBlockBytes or more that the
// archive writes in one piece (a grid's or a block's cells) is referred to
// where it sits in the packet. Written out piece after piece, it is byte for
// byte the payload EncodePacket makes; a server sends a whole-grid reply
// this way without building a second copy of the cells first.
//
// Lifetime: the referred blocks belong to the packet. It must stay alive and
// unchanged for as long as the pieces are used; the pieces of an empty or
// reassigned CPayloadPieces refer to nothing.
// Thread safety: none; one thread at a time.
#ifndef MIRL_PROTOCOL_PAYLOAD_PIECES_H_
#define MIRL_PROTOCOL_PAYLOAD_PIECES_H_

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <string>
#include <vector>

#include "protocol/packet.h"
#include "protocol/wire_layout.h"

namespace grd_svr {

constexpr std::size_t kReferredBlockBytes = std::size_t{64} << 10;

class CPayloadPieces {
 public:
  struct Piece {
    const char* data;
    std::size_t size;
  };

  std::size_t size() const { return m_Size; }
  bool empty() const { return m_Size == 0; }
  // The pieces in order, none empty; valid while this object and the
  // packet stay unchanged.
  std::vector<Piece> Pieces() const;
  // The whole payload in one string (a copy of every piece).
  std::string Join() const;

  // Appends bytes: copied when short, referred to in place when at least
  // kReferredBlockBytes long.
  void Append(const char* data, std::size_t size);

 private:
  struct Span {
    bool owned;
    std::size_t offset;  // into m_Bytes when owned
    const char* data;    // the caller's block when not
    std::size_t size;
  };
  std::string m_Bytes;
  std::vector<Span> m_Spans;
  std::size_t m_Size = 0;
};

// The payload of packet in layout as pieces (see above), replacing what
// pieces held. Throws what EncodePacket throws; pieces' contents are then
// unspecified.
void EncodePacketPieces(const boost::shared_ptr<CGSvrPacket>& packet, CPayloadPieces& pieces,
                        WireLayout layout = NativeWireLayout());

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_PAYLOAD_PIECES_H_
