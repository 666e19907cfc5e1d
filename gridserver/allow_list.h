// The clients the grid server accepts connections from: a list of IPv4 and
// IPv6 networks in CIDR notation ("10.1.0.0/16", "fd00::/8"; an address
// alone is one host). The protocol itself has no authentication, so the
// address a connection comes from is the only thing the server can go by.
//
// An IPv4 client reaching a server that listens on IPv6 appears as an
// IPv4-mapped address (::ffff:10.1.2.3); it is matched as the IPv4 address
// it stands for, so IPv4 networks admit it and IPv6 ones (::/0 included) do
// not. Host bits below the prefix are ignored: "10.1.2.3/16" is 10.1.0.0/16.
//
// Thread safety: const members may be called from any thread.
#ifndef MIRL_GRIDSERVER_ALLOW_LIST_H_
#define MIRL_GRIDSERVER_ALLOW_LIST_H_

#include <array>
#include <boost/asio/ip/address.hpp>
#include <string>
#include <vector>

namespace grid_server {

class AllowList {
 public:
  // Admits nobody.
  AllowList() = default;

  // This machine only: 127.0.0.0/8 and ::1.
  static AllowList Loopback();

  // Adds the networks of text, "CIDR[,CIDR...]" without blanks. On a bad
  // entry returns false, names it in error and leaves the list as it was.
  bool Add(const std::string& text, std::string& error);

  bool Admits(const boost::asio::ip::address& client) const;

  bool empty() const { return m_Networks.empty(); }
  // The networks as "a/n,b/m", host bits cleared.
  std::string ToString() const;

 private:
  struct Network {
    bool v4;
    std::array<unsigned char, 16> bytes;  // the first 4 for IPv4
    unsigned prefix;
  };
  // Empty on success, else why entry is no network.
  static std::string Parse(const std::string& entry, Network& network);
  static bool Matches(const Network& network, const unsigned char* bytes);

  std::vector<Network> m_Networks;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_ALLOW_LIST_H_
