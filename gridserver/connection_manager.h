// The open connections of the grid server, so that they can be closed
// together when it stops, and so that the acceptor can tell how many are
// open. Listeners hear when a connection leaves and when a retire reply has
// been sent.
//
// Ownership: holds a shared_ptr to every open connection.
// Thread safety: none; used on the io_context's one thread only.
#ifndef MIRL_GRIDSERVER_CONNECTION_MANAGER_H_
#define MIRL_GRIDSERVER_CONNECTION_MANAGER_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <set>

#include "connection.h"

namespace grid_server {

class ConnectionManager {
 public:
  using Listener = std::function<void()>;

  ConnectionManager() = default;
  ConnectionManager(const ConnectionManager&) = delete;
  ConnectionManager& operator=(const ConnectionManager&) = delete;

  void OnLeave(Listener listener) { m_OnLeave = std::move(listener); }
  void OnRetired(Listener listener) { m_OnRetired = std::move(listener); }

  // Adds and starts the connection.
  void Start(const std::shared_ptr<Connection>& connection);
  // Stops the connection and forgets it; then tells the leave listener.
  void Stop(const std::shared_ptr<Connection>& connection);
  // Stops every connection.
  void StopAll();
  // Expires every connection (Connection::Expire): the server reads no
  // more requests.
  void ExpireAll();
  // Counts one request dropped because its client had gone; returns the
  // count so far.
  std::size_t CountDropped() { return ++m_Dropped; }
  // A connection has sent the reply that granted a retire request.
  void NotifyRetired();

  std::size_t size() const { return m_Connections.size(); }

 private:
  std::set<std::shared_ptr<Connection>> m_Connections;
  Listener m_OnLeave;
  Listener m_OnRetired;
  std::size_t m_Dropped = 0;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_CONNECTION_MANAGER_H_
