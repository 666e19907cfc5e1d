// Client networks: what the notation admits, what it refuses, and how an
// address is matched (prefix bits, families, IPv4-mapped IPv6).
#include <gtest/gtest.h>

#include <boost/asio/ip/address.hpp>
#include <string>

#include "allow_list.h"

namespace {

using grid_server::AllowList;

AllowList List(const std::string& text) {
  AllowList list;
  std::string error;
  EXPECT_TRUE(list.Add(text, error)) << text << ": " << error;
  return list;
}

bool Admits(const AllowList& list, const std::string& address) {
  return list.Admits(boost::asio::ip::make_address(address));
}

TEST(AllowListTest, ThePrefixDecidesAndHostBitsAreIgnored) {
  const AllowList list = List("10.1.2.3/16");
  EXPECT_EQ(list.ToString(), "10.1.0.0/16");
  EXPECT_TRUE(Admits(list, "10.1.0.0"));
  EXPECT_TRUE(Admits(list, "10.1.255.254"));
  EXPECT_FALSE(Admits(list, "10.2.0.1"));
  EXPECT_FALSE(Admits(list, "11.1.0.1"));
  // A prefix that ends inside a byte.
  const AllowList odd = List("192.168.4.0/22");
  EXPECT_TRUE(Admits(odd, "192.168.7.255"));
  EXPECT_FALSE(Admits(odd, "192.168.8.0"));
  EXPECT_FALSE(Admits(odd, "192.168.3.255"));
}

TEST(AllowListTest, AnAddressAloneIsOneHost) {
  const AllowList list = List("127.0.0.2,fd00::7");
  EXPECT_EQ(list.ToString(), "127.0.0.2/32,fd00::7/128");
  EXPECT_TRUE(Admits(list, "127.0.0.2"));
  EXPECT_FALSE(Admits(list, "127.0.0.3"));
  EXPECT_TRUE(Admits(list, "fd00::7"));
  EXPECT_FALSE(Admits(list, "fd00::8"));
}

TEST(AllowListTest, FamiliesStayApartButMappedIpv4CountsAsIpv4) {
  const AllowList v4 = List("0.0.0.0/0");
  EXPECT_TRUE(Admits(v4, "203.0.113.9"));
  EXPECT_FALSE(Admits(v4, "2001:db8::1"));
  EXPECT_TRUE(Admits(v4, "::ffff:203.0.113.9"));  // an IPv4 client of an IPv6 socket
  const AllowList v6 = List("::/0");
  EXPECT_TRUE(Admits(v6, "2001:db8::1"));
  EXPECT_FALSE(Admits(v6, "203.0.113.9"));
  EXPECT_FALSE(Admits(v6, "::ffff:203.0.113.9"));
}

TEST(AllowListTest, TheDefaultIsThisMachineOnly) {
  const AllowList list = AllowList::Loopback();
  EXPECT_TRUE(Admits(list, "127.0.0.1"));
  EXPECT_TRUE(Admits(list, "127.255.0.9"));
  EXPECT_TRUE(Admits(list, "::1"));
  EXPECT_TRUE(Admits(list, "::ffff:127.0.0.1"));
  EXPECT_FALSE(Admits(list, "128.0.0.1"));
  EXPECT_FALSE(Admits(list, "::2"));
  EXPECT_FALSE(Admits(AllowList(), "127.0.0.1"));
}

TEST(AllowListTest, BadEntriesAreRefusedAndLeaveTheListAsItWas) {
  for (const char* bad : {"", "10.0.0.0/33", "::/129", "10.0.0.0/", "/8", "10.0.0.0/8,",
                          ",10.0.0.0/8", "10.0.0.0/8,,::1", "example.org", "10.0.0.0/-1",
                          "10.0.0.0/8/8", " 10.0.0.0/8", "10.0.0.0/ 8", "10.0.0/8",
                          "fe80::1%1/64", "::ffff:10.0.0.0/104", "10.0.0.0/1000"}) {
    AllowList list = List("192.0.2.0/24");
    std::string error;
    EXPECT_FALSE(list.Add(bad, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    EXPECT_EQ(list.ToString(), "192.0.2.0/24") << bad;
  }
  // A good entry before a bad one is not kept either.
  AllowList list;
  std::string error;
  EXPECT_FALSE(list.Add("10.0.0.0/8,nonsense", error));
  EXPECT_NE(error.find("nonsense"), std::string::npos) << error;
  EXPECT_TRUE(list.empty());
}

TEST(AllowListTest, TheErrorNamesTheBadEntryAndWhy) {
  const auto why = [](const std::string& text) {
    AllowList list;
    std::string error;
    EXPECT_FALSE(list.Add(text, error)) << text;
    return error;
  };
  const std::string long_v4 = why("10.0.0.0/8,127.0.0.1/33");
  EXPECT_NE(long_v4.find("'127.0.0.1/33'"), std::string::npos) << long_v4;
  EXPECT_NE(long_v4.find("longer than the 32 bits of an IPv4 address"), std::string::npos)
      << long_v4;
  EXPECT_NE(why("::/129").find("128 bits of an IPv6"), std::string::npos);
  EXPECT_NE(why("10.0.0.0/x").find("'x' is not a number of bits"), std::string::npos);
  EXPECT_NE(why("intranet/8").find("'intranet' is not an IP address"), std::string::npos);
  EXPECT_NE(why("fe80::1%1/64").find("scope"), std::string::npos);
  EXPECT_NE(why("::ffff:10.0.0.0/104").find("write 10.0.0.0 instead"), std::string::npos);
  EXPECT_NE(why("10.0.0.0/8,,::1").find("empty"), std::string::npos);
}

}  // namespace
