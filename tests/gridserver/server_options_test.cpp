// The command line: defaults, both spellings of a value, and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server_options.h"

namespace {

using grid_server::ParsedOptions;
using grid_server::ParseOptions;
using Args = std::vector<std::string>;

TEST(ServerOptions, OnlyTheRootIsNeededAndTheDefaultsAreTheProtocols) {
  const ParsedOptions parsed = ParseOptions({"--root", "/data"});
  ASSERT_EQ(parsed.outcome, ParsedOptions::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.root, "/data");
  EXPECT_EQ(parsed.options.port, 3339);
  EXPECT_EQ(parsed.options.address, "127.0.0.1");
  EXPECT_EQ(parsed.options.log_file, "");
  EXPECT_EQ(parsed.options.max_connections, 1024);
  EXPECT_EQ(parsed.options.header_timeout_ms, 2000);
  EXPECT_FALSE(parsed.options.allow_given);
  EXPECT_EQ(parsed.options.allow.ToString(), "127.0.0.0/8,::1/128");
}

TEST(ServerOptions, TheFirstAllowReplacesTheLoopbackDefaultAndMoreAddToIt) {
  const ParsedOptions one = ParseOptions({"--root=/d", "--allow", "10.1.0.0/16,fd00::/8"});
  ASSERT_EQ(one.outcome, ParsedOptions::kRun) << one.error;
  EXPECT_TRUE(one.options.allow_given);
  EXPECT_EQ(one.options.allow.ToString(), "10.1.0.0/16,fd00::/8");
  const ParsedOptions two =
      ParseOptions({"--root=/d", "--allow=10.1.0.0/16", "--allow", "192.0.2.7"});
  ASSERT_EQ(two.outcome, ParsedOptions::kRun) << two.error;
  EXPECT_EQ(two.options.allow.ToString(), "10.1.0.0/16,192.0.2.7/32");
  const ParsedOptions bad = ParseOptions({"--root=/d", "--allow", "10.1.0.0/16,intranet"});
  EXPECT_EQ(bad.outcome, ParsedOptions::kError);
  EXPECT_NE(bad.error.find("--allow"), std::string::npos) << bad.error;
  // The command line says which entry is bad and why, not only that one is.
  const ParsedOptions prefix = ParseOptions({"--root=/d", "--allow", "127.0.0.1/33"});
  EXPECT_NE(prefix.error.find("longer than the 32 bits"), std::string::npos) << prefix.error;
  const ParsedOptions port = ParseOptions({"--root=/d", "--port", "70000"});
  EXPECT_NE(port.error.find("from 0 to 65535"), std::string::npos) << port.error;
}

TEST(ServerOptions, ValuesComeAfterTheNameOrAfterAnEqualsSign) {
  const ParsedOptions parsed = ParseOptions(
      {"--root=/data", "--port", "0", "--log=server.txt", "--idle-timeout", "250",
       "--request-timeout=900", "--header-timeout", "75", "--max-request", "4096", "--max-connections=3", "--shutdown-grace",
       "0", "--address", "0.0.0.0", "--port-file", "p.txt", "--gridio-dir", "/opt/lib"});
  ASSERT_EQ(parsed.outcome, ParsedOptions::kRun) << parsed.error;
  const grid_server::ServerOptions& o = parsed.options;
  EXPECT_EQ(o.root, "/data");
  EXPECT_EQ(o.port, 0);
  EXPECT_EQ(o.log_file, "server.txt");
  EXPECT_EQ(o.idle_timeout_ms, 250);
  EXPECT_EQ(o.request_timeout_ms, 900);
  EXPECT_EQ(o.header_timeout_ms, 75);
  EXPECT_EQ(o.max_request_bytes, 4096u);
  EXPECT_EQ(o.max_connections, 3);
  EXPECT_EQ(o.shutdown_grace_ms, 0);
  EXPECT_EQ(o.address, "0.0.0.0");
  EXPECT_EQ(o.port_file, "p.txt");
  EXPECT_EQ(o.gridio_dir, "/opt/lib");
}

TEST(ServerOptions, HelpWinsOverEverythingElse) {
  EXPECT_EQ(ParseOptions({"--bogus", "--help"}).outcome, ParsedOptions::kError);
  EXPECT_EQ(ParseOptions({"--port", "1", "--help"}).outcome, ParsedOptions::kHelp);
  EXPECT_EQ(ParseOptions({"-h"}).outcome, ParsedOptions::kHelp);
}

TEST(ServerOptions, BadCommandLinesAreRefusedWithAReason) {
  const std::vector<Args> bad = {
      {},                                              // no root
      {"--port", "1"},                                 // still no root
      {"--root"},                                      // value missing
      {"--root", "/d", "--port", "65536"},             // port out of range
      {"--root", "/d", "--port", "-1"},                // not digits
      {"--root", "/d", "--port", "12a"},               // trailing junk
      {"--root", "/d", "--port="},                     // empty value
      {"--root", "/d", "--idle-timeout", "0"},         // a time-out of nothing
      {"--root", "/d", "--max-request", "0"},          // nothing fits
      {"--root", "/d", "--max-request", "134217729"},  // above the protocol's frame
      {"--root", "/d", "--max-connections", "0"},
      {"--root", "/d", "--header-timeout", "0"},
      {"--root", "/d", "--allow", ""},
      {"--root", "/d", "--allow", "10.0.0.0/33"},
      {"--root", "/d", "--verbose"},  // unknown
      {"--root", "/d", "stray"},
  };
  for (const Args& args : bad) {
    const ParsedOptions parsed = ParseOptions(args);
    std::string line;
    for (const std::string& a : args) line += a + " ";
    EXPECT_EQ(parsed.outcome, ParsedOptions::kError) << line;
    EXPECT_FALSE(parsed.error.empty()) << line;
  }
}

TEST(ServerOptions, HelpDocumentsEveryOptionTheParserTakes) {
  const std::string help = grid_server::HelpText();
  for (const char* name :
       {"--root", "--address", "--allow", "--port", "--port-file", "--log", "--gridio-dir",
        "--header-timeout", "--idle-timeout", "--request-timeout", "--max-request",
        "--max-connections", "--shutdown-grace", "--help"}) {
    const std::string spelled = std::string("  ") + name;
    EXPECT_TRUE(help.find(spelled + " ") != std::string::npos ||
                help.find(spelled + ",") != std::string::npos)
        << name;
    // and the parser knows it: a value of the right kind is accepted
    const std::string value =
        std::string(name) == "--help" ? "" : std::string(name) == "--allow" ? "=10.0.0.1" : "=1";
    const ParsedOptions parsed = ParseOptions({"--root=/d", std::string(name) + value});
    EXPECT_NE(parsed.outcome, ParsedOptions::kError) << name << ": " << parsed.error;
  }
}

}  // namespace
