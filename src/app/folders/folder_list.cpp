#include "app/folders/folder_list.h"

#include <QDirIterator>
#include <QFileInfo>

namespace orvane::app {

void FolderList::list_folder(const QString& folder) {
  entries_.clear();
  folder_ = folder;
  // Unsorted on purpose: the steps follow the file system's own order. Only
  // regular files (and links to them): a FIFO or device would block or
  // never end when opened as a fax, and folders are not pages.
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  while (it.hasNext()) entries_.append(it.next());
  position_ = 0;
}

bool FolderList::ensure_list(const QString& open_path) {
  if (!folder_.isEmpty()) return true;
  if (open_path.isEmpty()) return false;
  list_folder(QFileInfo(open_path).absolutePath());
  return true;
}

void FolderList::note_file_opened() {
  if (position_ < 0) position_ = 0;
}

std::optional<QString> FolderList::previous(const QString& open_path) {
  if (!ensure_list(open_path)) return std::nullopt;
  position_ = std::max<qsizetype>(position_ - 1, 0);
  return entry_at_position();
}

std::optional<QString> FolderList::next(const QString& open_path) {
  if (!ensure_list(open_path)) return std::nullopt;
  position_ = std::max<qsizetype>(std::min(position_ + 1, entries_.size() - 1), 0);
  return entry_at_position();
}

std::optional<QString> FolderList::slide_step(const QString& open_path) {
  if (!ensure_list(open_path)) return std::nullopt;
  ++position_;
  if (position_ >= entries_.size()) position_ = 0;
  return entry_at_position();
}

std::optional<QString> FolderList::entry_at_position() const {
  if (position_ < 0 || position_ >= entries_.size()) return std::nullopt;
  return entries_[position_];
}

}  // namespace orvane::app
