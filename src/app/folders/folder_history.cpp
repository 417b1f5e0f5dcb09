#include "app/folders/folder_history.h"

namespace orvane::app {

void FolderHistory::visit(const QString& folder) {
  if (present_ >= 0 && folders_[present_] == folder) return;
  folders_.resize(present_ + 1);
  folders_.append(folder);
  present_ = folders_.size() - 1;
}

std::optional<QString> FolderHistory::back() {
  if (!can_go_back()) return std::nullopt;
  return folders_[--present_];
}

std::optional<QString> FolderHistory::forward() {
  if (!can_go_forward()) return std::nullopt;
  return folders_[++present_];
}

}  // namespace orvane::app
