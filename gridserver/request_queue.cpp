#include "request_queue.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <utility>

namespace grid_server {

RequestQueue::RequestQueue(RequestHandler& handler, boost::asio::io_context& io)
    : m_Handler(handler), m_IO(io), m_Thread(1) {}

RequestQueue::~RequestQueue() { Join(); }

void RequestQueue::Submit(Work work, Done done) {
  auto guard = boost::asio::make_work_guard(m_IO);
  boost::asio::post(m_Thread, [this, work = std::move(work), done = std::move(done),
                               guard = std::move(guard)]() mutable {
    HandlerReply reply;
    try {
      reply = work(m_Handler);
    } catch (...) {
      reply = HandlerReply();
    }
    boost::asio::post(m_IO, [done = std::move(done), reply = std::move(reply)]() mutable {
      done(std::move(reply));
    });
    guard.reset();
  });
}

void RequestQueue::Note(std::string text) {
  boost::asio::post(m_Thread, [this, text = std::move(text)] {
    try {
      m_Handler.Note(text);
    } catch (...) {
      // A log line that cannot be written is not worth stopping for.
    }
  });
}

void RequestQueue::Join() { m_Thread.join(); }

}  // namespace grid_server
