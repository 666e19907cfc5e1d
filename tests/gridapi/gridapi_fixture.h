// Verbs for the tests of the session and the grid exports: a session whose
// road is a fake handler (io mode 2) or a fake client (io mode 1) that
// records every request and answers as the test says, the session log in a
// fresh working directory, and the log's text with the time stamps taken
// off. Every test leaves no session, no fake and no window behind.
#ifndef MIRL_TESTS_GRIDAPI_GRIDAPI_FIXTURE_H_
#define MIRL_TESTS_GRIDAPI_GRIDAPI_FIXTURE_H_

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/packets.h"
#include "server/gsvr_io.h"
#include "session/session_record.h"
#include "session/session_roads.h"
#include "support/temp_dir.h"
#include "transport/gsvr_client.h"

namespace gridapi_test {

using PacketPtr = boost::shared_ptr<grd_svr::CGSvrPacket>;
// Turns a request into the reply the road brings back.
using Answer = std::function<PacketPtr(PacketPtr)>;

// The in-process server's way of answering: the request itself, turned into
// a response with the code.
inline PacketPtr Respond(const PacketPtr& request, std::int32_t code = grd_svr::ErrNone) {
  request->SetActionType(grd_svr::atResponse);
  request->SetErrorCode(code);
  return request;
}

class FakeHandler : public grd_svr::IGSvrIO {
 public:
  explicit FakeHandler(Answer answer) : answer_(std::move(answer)) {}
  PacketPtr HandleRequest(PacketPtr request, std::string&) override {
    requests.push_back(request);
    return answer_(request);
  }
  std::vector<PacketPtr> requests;

 private:
  Answer answer_;
};

class FakeClient : public grd_svr::IGSvrClient {
 public:
  explicit FakeClient(Answer answer) : answer_(std::move(answer)) {}
  PacketPtr Exchange(PacketPtr request) override {
    requests.push_back(request);
    return answer_(request);
  }
  std::vector<PacketPtr> requests;

 private:
  Answer answer_;
};

// The text of a file, empty when there is none.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A pointer as "%x" renders it, independently of the library's formatting.
inline std::string Hex(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIxPTR, reinterpret_cast<std::uintptr_t>(pointer));
  return text;
}

// The 27 blanks in front of every parameter line, behind a line break.
inline std::string Indent(int blanks = 27) { return "\n" + std::string(blanks, ' '); }

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : cwd_(dir_.path()) {}
  ~SessionTest() override {
    mirl::session::CloseSession();
    mirl::session::SetClientFactory(mirl::session::ClientFactory());
  }

  // An io-mode-2 session whose handler is a fake answering with answer.
  FakeHandler& UseHandler(Answer answer = [](PacketPtr p) { return Respond(p); }) {
    auto handler = boost::make_shared<FakeHandler>(std::move(answer));
    mirl::session::SessionRecord& s = mirl::session::Session();
    s.io_mode = mirl::session::kInProcessServer;
    s.handler = handler;
    handler_ = handler.get();
    return *handler;
  }

  // An io-mode-1 session whose client is a fake answering with answer.
  FakeClient& UseClient(Answer answer) {
    auto client = boost::make_shared<FakeClient>(std::move(answer));
    mirl::session::SessionRecord& s = mirl::session::Session();
    s.io_mode = mirl::session::kRemoteServer;
    s.client = client;
    return *client;
  }

  void OpenLog() { mirl::session::OpenSessionLog(); }

  // The session log with every "<stamp> | " prefix removed.
  std::string LogText() const {
    static const std::regex stamp(
        R"((^|\n)\d{4}-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\d{2} \d{2}:\d{2}:\d{2} \| )");
    return std::regex_replace(ReadFile(dir_.file("mirl_lib_log.txt")), stamp, "$1");
  }

  // The requests the fake handler received, as class P.
  template <class P>
  P& Request(std::size_t i = 0) {
    EXPECT_LT(i, handler_->requests.size());
    P* typed = dynamic_cast<P*>(handler_->requests.at(i).get());
    EXPECT_NE(typed, nullptr);
    return *typed;
  }
  std::size_t RequestCount() const { return handler_ == nullptr ? 0 : handler_->requests.size(); }

  mirl_test::TempDir dir_;
  mirl_test::ScopedCwd cwd_;
  FakeHandler* handler_ = nullptr;
};

}  // namespace gridapi_test

#endif  // MIRL_TESTS_GRIDAPI_GRIDAPI_FIXTURE_H_
