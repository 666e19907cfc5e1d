// The grid_server program as a user starts it: its command line, serving,
// its log, retiring and signals, each through its exit code.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <boost/filesystem.hpp>
#include <boost/process.hpp>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "gridserver_fixture.h"

namespace gridserver_test {
namespace {

namespace bp = boost::process;

class ProgramTest : public ::testing::Test {
 protected:
  // Runs grid_server with args to its end; returns its exit code.
  int RunToEnd(const std::vector<std::string>& args) {
    child_ =
        bp::child(MIRL_GRID_SERVER_PATH, bp::args(args), bp::std_out > Out(), bp::std_err > Err());
    const int code = WaitForEnd(std::chrono::duration_cast<std::chrono::milliseconds>(kPatience));
    if (code == -1) ADD_FAILURE() << "grid_server did not end";
    return code;
  }

  // Starts grid_server serving the root on a port of the system's choice;
  // returns the port once it is listening, 0 if it never was.
  unsigned short Launch(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--root",      root_.str(), "--port", "0",
                                     "--port-file", PortFile(),  "--log",  LogFile()};
    args.insert(args.end(), extra.begin(), extra.end());
    child_ =
        bp::child(MIRL_GRID_SERVER_PATH, bp::args(args), bp::std_out > Out(), bp::std_err > Err());
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline && child_.running()) {
      std::ifstream in(PortFile());
      unsigned port = 0;
      if (in >> port) return static_cast<unsigned short>(port);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
  }

  // Waits up to limit for the running program to end; its exit code, or -1.
  // (Polled: child::wait_for of this Boost release can sleep its whole limit
  // for a child that has already ended.)
  int WaitForEnd(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (child_.running()) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return child_.exit_code();
  }

  void TearDown() override {
    if (child_.valid() && child_.running()) {
      child_.terminate();
      child_.wait();
    }
  }

  Packet Exchange(unsigned short port, const Packet& request) {
    std::ofstream closed_log;
    return MakeClient(port, &closed_log)->Exchange(request);
  }
  static bool Refuses(unsigned short port) {
    boost::asio::io_context io;
    tcp::socket probe(io);
    boost::system::error_code error;
    probe.connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(), port), error);
    return static_cast<bool>(error);
  }

  std::string Out() const { return scratch_.file("stdout.txt"); }
  std::string Err() const { return scratch_.file("stderr.txt"); }
  std::string PortFile() const { return scratch_.file("port.txt"); }
  std::string LogFile() const { return scratch_.file("server_log.txt"); }

  mirl_test::TempDir root_;
  mirl_test::TempDir scratch_;
  bp::child child_;
};

TEST_F(ProgramTest, HelpDescribesTheProgramAndExitsZero) {
  EXPECT_EQ(RunToEnd({"--help"}), 0);
  const std::string help = FileText(Out());
  EXPECT_NE(help.find("usage: grid_server --root DIR"), std::string::npos) << help;
  EXPECT_NE(help.find("--idle-timeout"), std::string::npos);
}

TEST_F(ProgramTest, ABadCommandLineExitsTwoAndSaysWhy) {
  EXPECT_EQ(RunToEnd({"--root", root_.str(), "--port", "99999"}), 2);
  EXPECT_NE(FileText(Err()).find("bad value for --port"), std::string::npos) << FileText(Err());
  EXPECT_EQ(RunToEnd({}), 2);
  EXPECT_NE(FileText(Err()).find("--root is required"), std::string::npos);
}

TEST_F(ProgramTest, WhatCannotBeServedExitsOneAndSaysWhy) {
  EXPECT_EQ(RunToEnd({"--root", root_.file("absent"), "--port", "0"}), 1);
  EXPECT_NE(FileText(Err()).find("cannot use --root"), std::string::npos) << FileText(Err());

  EXPECT_EQ(RunToEnd({"--root", root_.str(), "--port", "0", "--gridio-dir", root_.str()}), 1);
  EXPECT_NE(FileText(Err()).find("cannot load the grid library"), std::string::npos);

  EXPECT_EQ(RunToEnd({"--root", root_.str(), "--port", "0", "--log", root_.file("no/such/log")}),
            1);
  EXPECT_NE(FileText(Err()).find("cannot open the log file"), std::string::npos);

  EXPECT_EQ(RunToEnd({"--root", root_.str(), "--port", "0", "--address", "not-an-address"}), 1);
  // Every grid to the whole network takes the user's word for it.
  EXPECT_EQ(RunToEnd({"--root", root_.str(), "--port", "0", "--address", "0.0.0.0"}), 1);
  EXPECT_NE(FileText(Err()).find("name the clients that may connect with --allow"),
            std::string::npos)
      << FileText(Err());
  // A port already taken.
  boost::asio::io_context io;
  tcp::acceptor taken(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
  EXPECT_EQ(
      RunToEnd({"--root", root_.str(), "--port", std::to_string(taken.local_endpoint().port())}),
      1);
  EXPECT_NE(FileText(Err()).find("cannot listen on"), std::string::npos) << FileText(Err());
}

TEST_F(ProgramTest, ItServesWritesItsLogAndStopsOnSigterm) {
  const unsigned short port = Launch();
  ASSERT_NE(port, 0);
  Packet reply = Exchange(port, Ping());
  ASSERT_NE(As<grd_svr::CGSvrPk_PingServer>(reply), nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  EXPECT_EQ(Exchange(port, LoadGrid("../outside"))->GetErrorCode(), grd_svr::ErrPackMalformed);

  ASSERT_EQ(::kill(child_.id(), SIGTERM), 0);
  EXPECT_EQ(WaitForEnd(std::chrono::duration_cast<std::chrono::milliseconds>(kPatience)), 0);
  EXPECT_TRUE(Refuses(port));

  const std::string log = FileText(LogFile());
  EXPECT_NE(log.find("grid_server listening on 127.0.0.1:" + std::to_string(port)),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("PingServer        | atResponse | "), std::string::npos) << log;
  EXPECT_NE(log.find("| ErrNone"), std::string::npos) << log;
  EXPECT_NE(log.find("the name '../outside' goes through '..'"), std::string::npos) << log;
  EXPECT_NE(log.find("grid_server stopping: stopped by a signal"), std::string::npos) << log;
}

TEST_F(ProgramTest, SigintStopsItAsCleanly) {
  const unsigned short port = Launch();
  ASSERT_NE(port, 0);
  RawConnection idle(port);
  ASSERT_EQ(::kill(child_.id(), SIGINT), 0);
  EXPECT_EQ(WaitForEnd(std::chrono::duration_cast<std::chrono::milliseconds>(kPatience)), 0);
  EXPECT_TRUE(idle.ClosedByServer());
}

TEST_F(ProgramTest, AfterAGrantedRetireItExitsZeroWithinASecond) {
  const unsigned short port = Launch();
  ASSERT_NE(port, 0);
  Packet reply = Exchange(port, Retire());
  ASSERT_NE(As<grd_svr::CGSvrPk_GridServerRetire>(reply), nullptr);
  EXPECT_EQ(reply->GetActionType(), grd_svr::atResponse);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  EXPECT_EQ(WaitForEnd(std::chrono::milliseconds(1000)), 0);
  EXPECT_TRUE(Refuses(port));
  EXPECT_NE(FileText(Out()).find("grid_server: retired"), std::string::npos) << FileText(Out());
}

}  // namespace
}  // namespace gridserver_test
