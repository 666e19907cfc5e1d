#include "connection_manager.h"

#include <vector>

namespace grid_server {

void ConnectionManager::Start(const std::shared_ptr<Connection>& connection) {
  m_Connections.insert(connection);
  connection->Start();
}

void ConnectionManager::Stop(const std::shared_ptr<Connection>& connection) {
  if (m_Connections.erase(connection) == 0) return;
  connection->Stop();
  if (m_OnLeave) m_OnLeave();
}

void ConnectionManager::StopAll() {
  const std::vector<std::shared_ptr<Connection>> all(m_Connections.begin(), m_Connections.end());
  for (const auto& connection : all) Stop(connection);
}

void ConnectionManager::ExpireAll() {
  const std::vector<std::shared_ptr<Connection>> all(m_Connections.begin(), m_Connections.end());
  for (const auto& connection : all) connection->Expire();
}

void ConnectionManager::NotifyRetired() {
  if (m_OnRetired) m_OnRetired();
}

}  // namespace grid_server
