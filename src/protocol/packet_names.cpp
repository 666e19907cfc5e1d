#include "protocol/packet_names.h"

namespace grd_svr {
namespace {

struct Entry {
  std::int32_t value;
  const char* name;
};

template <std::size_t N>
std::string Lookup(const Entry (&table)[N], std::int32_t value, const char* fallback) {
  for (const Entry& e : table) {
    if (e.value == value) return e.name;
  }
  return fallback;
}

const Entry kActionNames[] = {
    {0, "Unknown          "},  {2, "GridLoad         "},  {3, "GridWrite        "},
    {4, "GridKill         "},  {5, "BlockLoad        "},  {6, "BlockWrite       "},
    {7, "PingServer       "},  {8, "ErrorReport      "},  {9, "GridDescribe     "},
    {10, "GridCreate       "}, {11, "GridList         "}, {12, "AccWndSet        "},
    {13, "AccWndMake       "}, {14, "GridCopy         "}, {15, "GridServerRetire "},
    {16, "AccWndGet        "},
};

const Entry kActionTypeNames[] = {
    {0, "atUnknown "},
    {1, "atRequest "},
    {2, "atResponse"},
};

const Entry kErrorNames[] = {
    {1, "ErrNone                     "},      {-10001, "ErrUnknown                  "},
    {-10002, "ErrPackVersion              "}, {-10003, "ErrPackFunction             "},
    {-10004, "ErrPackNull                 "}, {-10005, "ErrPackMalformed            "},
    {-10006, "ErrGridIOException          "}, {-10007, "ErrGridCannotFind           "},
    {-10008, "ErrGridCannotOpen           "}, {-10009, "ErrGridCannotRead           "},
    {-10010, "ErrGridCannotCreate         "}, {-10011, "ErrGridCannotWrite          "},
    {-10012, "ErrGridMemAlloc             "}, {-10013, "ErrGridNoAccessWindow       "},
    {-10014, "ErrGridAccessWindowExists   "}, {-10015, "ErrGridBadDimensions        "},
    {-10016, "ErrGridTooBig               "}, {-10017, "ErrGridAlreadyExists        "},
    {-10018, "ErrGridCannotCopy           "}, {-10019, "ErrGridServerRetireBadIOMode"},
};

}  // namespace

std::string ActionIdName(std::int32_t action_id) {
  return Lookup(kActionNames, action_id, "Unknown Action ID");
}

std::string ActionTypeName(std::int32_t action_type) {
  return Lookup(kActionTypeNames, action_type, "unknown aid_val");
}

std::string ErrorCodeName(std::int32_t error_code) {
  return Lookup(kErrorNames, error_code, "Unknown error value");
}

}  // namespace grd_svr
