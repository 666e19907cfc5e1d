// The header that every grid-server packet carries, the action identifiers,
// action types and error codes it speaks of, and the polymorphic base class
// through which requests and replies travel.
//
// Ownership: packets live on the heap, held by boost::shared_ptr<CGSvrPacket>;
// each owns its strings and vectors. A packet is a plain value with no locks:
// one thread at a time.
#ifndef MIRL_PROTOCOL_PACKET_H_
#define MIRL_PROTOCOL_PACKET_H_

#include <cstdint>
#include <ostream>
#include <string>

namespace boost {
namespace serialization {
class access;
}  // namespace serialization
}  // namespace boost

namespace grd_svr {

// The one protocol signature every packet class passes to the base.
extern const char kPacketSignature[];  // "grd_svr_v1.3"

// What a packet asks for (m_ActionID). The value 1 is not assigned.
enum ActionID : std::int32_t {
  Unknown = 0,
  GridLoad = 2,
  GridWrite = 3,
  GridKill = 4,
  BlockLoad = 5,
  BlockWrite = 6,
  PingServer = 7,
  ErrorReport = 8,
  GridDescribe = 9,
  GridCreate = 10,
  GridList = 11,
  AccWndSet = 12,
  AccWndMake = 13,
  GridCopy = 14,
  GridServerRetire = 15,
  AccWndGet = 16,
};

// Request or response (m_ActionType).
enum ActionType : std::int32_t {
  atUnknown = 0,
  atRequest = 1,
  atResponse = 2,
};

// Outcome carried by a reply (m_ErrorCode).
enum ErrorCode : std::int32_t {
  ErrNone = 1,
  ErrUnknown = -10001,
  ErrPackVersion = -10002,
  ErrPackFunction = -10003,
  ErrPackNull = -10004,
  ErrPackMalformed = -10005,
  ErrGridIOException = -10006,
  ErrGridCannotFind = -10007,
  ErrGridCannotOpen = -10008,
  ErrGridCannotRead = -10009,
  ErrGridCannotCreate = -10010,
  ErrGridCannotWrite = -10011,
  ErrGridMemAlloc = -10012,
  ErrGridNoAccessWindow = -10013,
  ErrGridAccessWindowExists = -10014,
  ErrGridBadDimensions = -10015,
  ErrGridTooBig = -10016,
  ErrGridAlreadyExists = -10017,
  ErrGridCannotCopy = -10018,
  ErrGridServerRetireBadIOMode = -10019,
};

// The packet header. A plain CGSvrPacket is also a packet of its own: the
// server's reply (action ErrorReport) when it received no request at all.
class CGSvrPacket {
 public:
  // Decoding constructor: signature "UNKNOWN", empty host, id and type 0,
  // error code ErrNone; decoding then overwrites every field.
  CGSvrPacket();
  // Request constructor; the error code starts at ErrNone.
  CGSvrPacket(std::int32_t action_type, std::int32_t action_id, const std::string& signature);
  virtual ~CGSvrPacket();

  // Writes the four header lines and returns os.
  virtual std::ostream& Print(std::ostream& os) const;
  // Writes the class's own fields, one prefixed line each; the header has none.
  virtual void PrintFields(std::string prefix, std::ostream* os) const;
  // Drops bulk cell data; the header has none.
  virtual void ClearData();

  std::string GetSignature() const { return m_Signature; }
  std::string GetClientHost() const { return m_ClientHost; }
  std::int32_t GetActionID() const { return m_ActionID; }
  std::int32_t GetActionType() const { return m_ActionType; }
  std::int32_t GetErrorCode() const { return m_ErrorCode; }

  void SetClientHost(const std::string& host) { m_ClientHost = host; }
  void SetActionType(std::int32_t action_type) { m_ActionType = action_type; }
  void SetErrorCode(std::int32_t error_code) { m_ErrorCode = error_code; }

 private:
  friend class boost::serialization::access;
  // Defined in packet_serialize.h, the only place that instantiates it.
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);

  std::string m_Signature;
  std::string m_ClientHost;
  std::int32_t m_ActionID;
  std::int32_t m_ActionType;
  std::int32_t m_ErrorCode;
};

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_PACKET_H_
