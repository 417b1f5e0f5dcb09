#pragma once
// The folder bar's Back and Forward: the folders chosen, in the order chosen.
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane::app {

class FolderHistory {
 public:
  // A folder the user went to; whatever lay ahead of the present one is
  // dropped, as in a browser. Choosing the present folder again adds nothing.
  void visit(const QString& folder);
  std::optional<QString> back();
  std::optional<QString> forward();
  bool can_go_back() const { return present_ > 0; }
  bool can_go_forward() const { return present_ + 1 < folders_.size(); }

 private:
  QStringList folders_;
  qsizetype present_ = -1;
};

}  // namespace orvane::app
