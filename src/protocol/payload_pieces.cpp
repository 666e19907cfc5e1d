// clang-format off
// First: it brings the archive headers in before export.hpp.
#include "protocol/packet_serialize.h"
// clang-format on

#include "protocol/payload_pieces.h"

#include <streambuf>

namespace grd_svr {
namespace {

// The archive's sink: everything it writes goes to the pieces.
class CPiecesOutputBuffer : public std::streambuf {
 public:
  explicit CPiecesOutputBuffer(CPayloadPieces& pieces) : pieces_(pieces) {}

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pieces_.Append(s, static_cast<std::size_t>(n));
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    pieces_.Append(&ch, 1);
    return c;
  }

 private:
  CPayloadPieces& pieces_;
};

}  // namespace

void CPayloadPieces::Append(const char* data, std::size_t size) {
  if (size == 0) return;
  m_Size += size;
  if (size >= kReferredBlockBytes) {
    m_Spans.push_back({false, 0, data, size});
    return;
  }
  if (!m_Spans.empty() && m_Spans.back().owned) {
    m_Spans.back().size += size;
  } else {
    m_Spans.push_back({true, m_Bytes.size(), nullptr, size});
  }
  m_Bytes.append(data, size);
}

std::vector<CPayloadPieces::Piece> CPayloadPieces::Pieces() const {
  std::vector<Piece> pieces;
  pieces.reserve(m_Spans.size());
  for (const Span& span : m_Spans)
    pieces.push_back({span.owned ? m_Bytes.data() + span.offset : span.data, span.size});
  return pieces;
}

std::string CPayloadPieces::Join() const {
  std::string joined;
  joined.reserve(m_Size);
  for (const Piece& piece : Pieces()) joined.append(piece.data, piece.size);
  return joined;
}

void EncodePacketPieces(const boost::shared_ptr<CGSvrPacket>& packet, CPayloadPieces& pieces,
                        WireLayout layout) {
  pieces = CPayloadPieces();
  CPiecesOutputBuffer sink(pieces);
  CWireOArchive archive(sink, layout);
  archive << packet;
}

}  // namespace grd_svr
