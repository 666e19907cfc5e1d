// The name tables used to print and log packets. Every text is padded with
// blanks to its table's width; values outside a table map to its fallback.
// The returned strings are copies; the functions are pure and thread-safe.
#ifndef MIRL_PROTOCOL_PACKET_NAMES_H_
#define MIRL_PROTOCOL_PACKET_NAMES_H_

#include <cstdint>
#include <string>

namespace grd_svr {

// 17 characters for every input, e.g. "GridLoad         "; otherwise
// "Unknown Action ID" (1 and negative values included).
std::string ActionIdName(std::int32_t action_id);

// 10 characters for 0 to 2, e.g. "atRequest "; otherwise "unknown aid_val".
std::string ActionTypeName(std::int32_t action_type);

// 28 characters for the known codes, e.g. "ErrNone                     ";
// otherwise "Unknown error value".
std::string ErrorCodeName(std::int32_t error_code);

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_PACKET_NAMES_H_
