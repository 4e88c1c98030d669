#include "platform/walked_folder.h"

namespace korvel {

WalkedFolder::WalkedFolder(WalkedFolder&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_handle(std::exchange(other.m_handle, -1)),
      m_root_owner(std::move(other.m_root_owner)),
      m_failure(std::move(other.m_failure)) {}

WalkedFolder& WalkedFolder::operator=(WalkedFolder&& other) noexcept {
  if (this != &other) {
    Close();
    m_path = std::move(other.m_path);
    m_handle = std::exchange(other.m_handle, -1);
    m_root_owner = std::move(other.m_root_owner);
    m_failure = std::move(other.m_failure);
  }
  return *this;
}

WalkedFolder::~WalkedFolder() { Close(); }

}  // namespace korvel
