#pragma once
// The files of one folder that Previous Image, Next Image and the slide show
// step through, and the position last stepped to.
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane::app {

class FolderList {
 public:
  // Reads every file of `folder` (no subfolders) in the order the file system
  // enumerates them; the position goes to the first entry.
  void list_folder(const QString& folder);

  // Builds the list from the folder of `open_path` unless a folder was listed
  // already. False when there is no list to step through: nothing listed and
  // nothing ever opened.
  bool ensure_list(const QString& open_path);

  // A file was opened: from now on the slide show may run.
  void note_file_opened();

  // The entry to open next, the position already moved; nothing when the
  // command does nothing (no list, or an empty one).
  std::optional<QString> previous(const QString& open_path);
  std::optional<QString> next(const QString& open_path);
  std::optional<QString> slide_step(const QString& open_path);

  bool can_previous() const { return position_ > 0; }
  bool can_next() const { return position_ < entries_.size() - 1; }
  bool can_slide_show() const { return position_ >= 0; }

  const QString& folder() const { return folder_; }
  const QStringList& entries() const { return entries_; }
  qsizetype position() const { return position_; }

 private:
  std::optional<QString> entry_at_position() const;

  QString folder_;  // empty while there is no list
  QStringList entries_;
  qsizetype position_ = -1;  // -1 until the first file is opened
};

}  // namespace orvane::app
