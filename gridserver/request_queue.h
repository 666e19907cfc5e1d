// The one thread on which the grid server's requests are handled, in the
// order they were received. Handling blocks (grid I/O under critical
// section A), so it never runs on the thread that moves bytes: while one
// request is handled, other connections keep reading and writing.
//
// Ownership: the queue refers to the handler and the io_context, both of
// which must outlive it; Join() (or the destructor) waits for the thread.
// Thread safety: Submit and Note may be called from any thread; the work is
// run on the queue's thread, the completion on the io_context.
#ifndef MIRL_GRIDSERVER_REQUEST_QUEUE_H_
#define MIRL_GRIDSERVER_REQUEST_QUEUE_H_

#include <boost/asio/io_context.hpp>
#include <boost/asio/thread_pool.hpp>
#include <functional>
#include <string>

#include "request_handler.h"

namespace grid_server {

class RequestQueue {
 public:
  using Work = std::function<HandlerReply(RequestHandler&)>;
  using Done = std::function<void(HandlerReply)>;

  RequestQueue(RequestHandler& handler, boost::asio::io_context& io);
  ~RequestQueue();
  RequestQueue(const RequestQueue&) = delete;
  RequestQueue& operator=(const RequestQueue&) = delete;

  // Runs work on the queue's thread after everything submitted before, then
  // done with its reply on the io_context, which is kept running meanwhile.
  // A work that throws completes with an empty reply.
  void Submit(Work work, Done done);

  // Writes a line to the server log from the queue's thread, in turn.
  void Note(std::string text);

  // Waits until everything submitted has run.
  void Join();

 private:
  RequestHandler& m_Handler;
  boost::asio::io_context& m_IO;
  boost::asio::thread_pool m_Thread;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_REQUEST_QUEUE_H_
