// One exchange of a rows x cols float grid each way against a minimal echo
// server on loopback, next to a plain socket round trip of the same bytes
// through the same server, alternating, on a fresh connection each time.
// Prints: bytes each way, median seconds of both, MB/s, and the ratio
// plain / exchange (the exchange's share of the plain bandwidth).
// Usage: transport_bench [rows cols reps]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/make_shared.hpp>

#include "protocol/framing.h"
#include "protocol/packets.h"
#include "transport/tcp_client.h"

namespace {

using boost::asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// Reads one frame and writes the same bytes back; decodes nothing.
void Echo(tcp::socket& socket, std::vector<char>& buffer) {
  char header[grd_svr::kFrameHeaderLength];
  boost::system::error_code error;
  boost::asio::read(socket, boost::asio::buffer(header), error);
  if (error) return;
  std::size_t length = 0;
  if (grd_svr::ParseFrameHeader(header, length)) return;
  buffer.resize(length);
  boost::asio::read(socket, boost::asio::buffer(buffer), error);
  if (error) return;
  const std::vector<boost::asio::const_buffer> frame = {boost::asio::buffer(header),
                                                        boost::asio::buffer(buffer)};
  boost::asio::write(socket, frame, error);
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same bytes over a plain blocking socket into a buffer that is already
// in memory, each call handing the system all that is left: the most a
// socket transfer gets out of loopback.
double PlainRoundTrip(const tcp::endpoint& server, const std::string& message,
                      std::vector<char>& back) {
  boost::asio::io_context io;
  back.resize(message.size());
  const Clock::time_point start = Clock::now();
  tcp::socket socket(io);
  socket.connect(server);
  for (std::size_t done = 0; done < message.size();) {
    done += socket.write_some(boost::asio::buffer(message.data() + done, message.size() - done));
  }
  for (std::size_t done = 0; done < back.size();) {
    done += socket.read_some(boost::asio::buffer(back.data() + done, back.size() - done));
  }
  return Seconds(start);
}

// The protocol's share of an exchange: encoding the request and decoding
// a reply of the same bytes, each into fresh memory as the exchange does.
void CodecTimes(const boost::shared_ptr<grd_svr::CGSvrPacket>& packet, double& encode,
                double& decode) {
  Clock::time_point start = Clock::now();
  const std::string payload = grd_svr::EncodePacket(packet);
  encode = Seconds(start);
  std::vector<char> bytes(payload.begin(), payload.end());
  boost::shared_ptr<grd_svr::CGSvrPacket> decoded;
  start = Clock::now();
  grd_svr::DecodePacket(bytes.data(), bytes.size(), decoded);
  decode = Seconds(start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 4000;
  const int cols = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int reps = argc > 3 ? std::atoi(argv[3]) : 5;
  if (rows <= 0 || cols <= 0 || reps <= 0) {
    std::fprintf(stderr, "usage: transport_bench [rows cols reps]\n");
    return 2;
  }

  boost::asio::io_context server_io;
  tcp::acceptor acceptor(server_io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
  const tcp::endpoint server = acceptor.local_endpoint();
  const int connections = 2 * reps;
  std::thread serving([&] {
    std::vector<char> buffer;
    for (int i = 0; i < connections; ++i) {
      tcp::socket socket(server_io);
      acceptor.accept(socket);
      Echo(socket, buffer);
    }
  });

  auto grid = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridLoad);
  grid->m_GridName = "bench";
  grid->m_CellType = 2;
  grid->m_RowCount = rows;
  grid->m_ColCount = cols;
  grid->m_GrdDataFLT.resize(static_cast<std::size_t>(rows) * cols);
  for (std::size_t i = 0; i < grid->m_GrdDataFLT.size(); ++i) {
    grid->m_GrdDataFLT[i] = static_cast<float>(i % 65521);
  }
  // The plain transfer moves exactly the bytes of the framed request.
  const std::string message = grd_svr::EncodeFrame(grid);

  grd_svr::CGSvrClient client("127.0.0.1", std::to_string(server.port()), nullptr);
  std::vector<double> exchange_times, plain_times, encode_times, decode_times;
  std::vector<char> back;
  bool intact = true;
  for (int i = 0; i < reps; ++i) {
    plain_times.push_back(PlainRoundTrip(server, message, back));
    const Clock::time_point start = Clock::now();
    boost::shared_ptr<grd_svr::CGSvrPacket> reply = client.Exchange(grid);
    exchange_times.push_back(Seconds(start));
    auto* echoed = dynamic_cast<grd_svr::CGSvrPk_GridOp*>(reply.get());
    intact = intact && echoed != nullptr && echoed->m_GrdDataFLT == grid->m_GrdDataFLT;
    reply.reset();
    double encode = 0, decode = 0;
    CodecTimes(grid, encode, decode);
    encode_times.push_back(encode);
    decode_times.push_back(decode);
  }
  serving.join();

  const double exchange = Median(exchange_times);
  const double plain = Median(plain_times);
  const double megabytes = 2.0 * static_cast<double>(message.size()) / 1e6;
  std::printf("%d x %d floats, %zu bytes each way, %d reps, reply intact: %s\n", rows, cols,
              message.size(), reps, intact ? "yes" : "NO");
  std::printf("%-10s %10s %12s\n", "", "median s", "MB/s (both)");
  std::printf("%-10s %10.4f %12.1f\n", "plain", plain, megabytes / plain);
  std::printf("%-10s %10.4f %12.1f   (with the client's 7 ms pause)\n", "exchange", exchange,
              megabytes / exchange);
  std::printf("%-10s %10.4f   (of the exchange)\n", "encode", Median(encode_times));
  std::printf("%-10s %10.4f   (of the exchange)\n", "decode", Median(decode_times));
  std::printf("exchange / plain bandwidth: %.1f %% (goal >= 40 %%)\n", 100.0 * plain / exchange);
  return intact ? 0 : 1;
}
