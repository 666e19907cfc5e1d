#include "allow_list.h"

#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/ip/address_v6.hpp>
#include <cstddef>

namespace grid_server {
namespace {

namespace ip = boost::asio::ip;

// Digits only, at most max.
bool ParsePrefix(const std::string& text, unsigned max, unsigned& prefix) {
  if (text.empty() || text.size() > 3) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > max) return false;
  prefix = value;
  return true;
}

// The client's address as the bytes networks are matched against: an
// IPv4-mapped IPv6 address counts as the IPv4 address it carries.
void ClientBytes(const ip::address& client, bool& v4, std::array<unsigned char, 16>& bytes) {
  bytes.fill(0);
  ip::address address = client;
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    address = ip::make_address_v4(ip::v4_mapped, address.to_v6());
  v4 = address.is_v4();
  if (v4) {
    const ip::address_v4::bytes_type b = address.to_v4().to_bytes();
    for (std::size_t i = 0; i < b.size(); ++i) bytes[i] = b[i];
  } else {
    const ip::address_v6::bytes_type b = address.to_v6().to_bytes();
    for (std::size_t i = 0; i < b.size(); ++i) bytes[i] = b[i];
  }
}

}  // namespace

AllowList AllowList::Loopback() {
  AllowList list;
  std::string ignored;
  list.Add("127.0.0.0/8,::1/128", ignored);
  return list;
}

bool AllowList::Add(const std::string& text, std::string& error) {
  std::vector<Network> added;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = text.find(',', begin);
    const std::string entry =
        text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    Network network;
    const std::string why = Parse(entry, network);
    if (!why.empty()) {
      error = "'" + entry + "' is not an IPv4 or IPv6 network (CIDR, such as 10.1.0.0/16): " + why;
      return false;
    }
    added.push_back(network);
    if (comma == std::string::npos) break;
    begin = comma + 1;
  }
  m_Networks.insert(m_Networks.end(), added.begin(), added.end());
  return true;
}

std::string AllowList::Parse(const std::string& entry, Network& network) {
  if (entry.empty()) return "the entry is empty";
  const std::size_t slash = entry.find('/');
  const std::string host = entry.substr(0, slash);
  // make_address also takes an IPv6 scope ("fe80::1%eth0"), which names no
  // network; and a mapped address as a network would match nothing.
  if (host.find('%') != std::string::npos) return "an address with a scope names no network";
  boost::system::error_code bad;
  const ip::address address = ip::make_address(host, bad);
  if (bad) return "'" + host + "' is not an IP address";
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return "an IPv4-mapped address is matched as IPv4: write " +
           ip::make_address_v4(ip::v4_mapped, address.to_v6()).to_string() + " instead";
  network.v4 = address.is_v4();
  const unsigned max = network.v4 ? 32 : 128;
  network.prefix = max;
  if (slash != std::string::npos) {
    const std::string prefix = entry.substr(slash + 1);
    if (!ParsePrefix(prefix, 999, network.prefix))
      return "the prefix length '" + prefix + "' is not a number of bits";
    if (network.prefix > max)
      return "the prefix length " + prefix + " is longer than the " + std::to_string(max) +
             " bits of an " + (network.v4 ? "IPv4" : "IPv6") + " address";
  }
  bool v4 = false;
  ClientBytes(address, v4, network.bytes);
  // Host bits cleared, so that matching and printing see the network.
  for (unsigned bit = network.prefix; bit < max; ++bit)
    network.bytes[bit / 8] &= static_cast<unsigned char>(~(0x80u >> (bit % 8)));
  return std::string();
}

bool AllowList::Matches(const Network& network, const unsigned char* bytes) {
  const unsigned whole = network.prefix / 8;
  for (unsigned i = 0; i < whole; ++i)
    if (network.bytes[i] != bytes[i]) return false;
  const unsigned rest = network.prefix % 8;
  if (rest == 0) return true;
  const unsigned char mask = static_cast<unsigned char>(0xffu << (8 - rest));
  return (network.bytes[whole] & mask) == (bytes[whole] & mask);
}

bool AllowList::Admits(const ip::address& client) const {
  bool v4 = false;
  std::array<unsigned char, 16> bytes;
  ClientBytes(client, v4, bytes);
  for (const Network& network : m_Networks)
    if (network.v4 == v4 && Matches(network, bytes.data())) return true;
  return false;
}

std::string AllowList::ToString() const {
  std::string text;
  for (const Network& network : m_Networks) {
    if (!text.empty()) text += ",";
    if (network.v4) {
      text += ip::address_v4({network.bytes[0], network.bytes[1], network.bytes[2],
                              network.bytes[3]})
                  .to_string();
    } else {
      ip::address_v6::bytes_type b;
      for (std::size_t i = 0; i < b.size(); ++i) b[i] = network.bytes[i];
      text += ip::address_v6(b).to_string();
    }
    text += "/" + std::to_string(network.prefix);
  }
  return text;
}

}  // namespace grid_server
