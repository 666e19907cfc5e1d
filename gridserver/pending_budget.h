// The bytes the grid server may hold at once for requests that have not
// arrived whole, over all connections. A connection takes the length its
// frame header announces before it reads a byte of the payload; when that
// does not fit, the connection waits (it stops reading, so TCP holds the
// client back) until enough is given back, and is then called. Waiting
// connections are served first come, first served among those that fit:
// a small request is never held back behind a large one that cannot fit
// yet.
//
// A large payload buffer is backed by physical memory only as its bytes
// arrive (request_buffer.h), so what a connection holds in resident memory
// is about what it has received, and what the server is committed to is at
// most the limit.
//
// Ownership: holds the wake-up calls of the waiting connections.
// Thread safety: none; used on the io_context's one thread only.
#ifndef MIRL_GRIDSERVER_PENDING_BUDGET_H_
#define MIRL_GRIDSERVER_PENDING_BUDGET_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>

namespace grid_server {

class PendingBudget {
 public:
  using Grant = std::function<void()>;
  using Ticket = std::uint64_t;

  explicit PendingBudget(std::size_t limit) : m_Limit(limit) {}
  PendingBudget(const PendingBudget&) = delete;
  PendingBudget& operator=(const PendingBudget&) = delete;

  // Takes bytes (at most the limit) and returns 0 when they fit now.
  // Otherwise returns a ticket: grant is called, from a later Give, once
  // the bytes have been taken for the caller.
  Ticket Take(std::size_t bytes, Grant grant);
  // Forgets a waiting ticket (its grant is not called); nothing when the
  // ticket is not waiting.
  void Cancel(Ticket ticket);
  // Gives back bytes taken before, and grants the waiting takes that now fit.
  void Give(std::size_t bytes);

  std::size_t limit() const { return m_Limit; }
  std::size_t taken() const { return m_Taken; }
  std::size_t waiting() const { return m_Waiting.size(); }
  // Takes that have had to wait, in all.
  std::size_t held() const { return m_Held; }
  // True at most once a second: a note about a held-back request is due.
  // A crowd of waiting connections must not flood the log.
  bool NoteDue(std::chrono::steady_clock::time_point now);

  // The default limit: a quarter of physical memory, at most 512 MiB, and
  // never below a single largest request (max_request).
  static std::size_t DefaultLimit(std::uint64_t physical, std::size_t max_request);

 private:
  struct Waiter {
    Ticket ticket;
    std::size_t bytes;
    Grant grant;
  };

  std::size_t m_Limit;
  std::size_t m_Taken = 0;
  Ticket m_Next = 1;
  std::size_t m_Held = 0;
  bool m_Noted = false;
  std::chrono::steady_clock::time_point m_LastNote;
  std::list<Waiter> m_Waiting;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_PENDING_BUDGET_H_
