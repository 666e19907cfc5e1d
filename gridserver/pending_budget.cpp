#include "pending_budget.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace grid_server {

PendingBudget::Ticket PendingBudget::Take(std::size_t bytes, Grant grant) {
  if (bytes <= m_Limit - m_Taken) {
    m_Taken += bytes;
    return 0;
  }
  const Ticket ticket = m_Next++;
  ++m_Held;
  m_Waiting.push_back(Waiter{ticket, bytes, std::move(grant)});
  return ticket;
}

void PendingBudget::Cancel(Ticket ticket) {
  m_Waiting.remove_if([ticket](const Waiter& waiter) { return waiter.ticket == ticket; });
}

void PendingBudget::Give(std::size_t bytes) {
  m_Taken -= std::min(bytes, m_Taken);
  // The grants run after the list is settled: a granted connection may take
  // or give again from inside its grant.
  std::vector<Grant> granted;
  for (auto it = m_Waiting.begin(); it != m_Waiting.end();) {
    if (it->bytes <= m_Limit - m_Taken) {
      m_Taken += it->bytes;
      granted.push_back(std::move(it->grant));
      it = m_Waiting.erase(it);
    } else {
      ++it;
    }
  }
  for (Grant& grant : granted) grant();
}

bool PendingBudget::NoteDue(std::chrono::steady_clock::time_point now) {
  if (m_Noted && now - m_LastNote < std::chrono::seconds(1)) return false;
  m_Noted = true;
  m_LastNote = now;
  return true;
}

std::size_t PendingBudget::DefaultLimit(std::uint64_t physical, std::size_t max_request) {
  constexpr std::uint64_t kCeiling = std::uint64_t{512} << 20;
  std::uint64_t limit = physical == 0 ? kCeiling : std::min(physical / 4, kCeiling);
  limit = std::max<std::uint64_t>(limit, max_request);
  return static_cast<std::size_t>(limit);
}

}  // namespace grid_server
