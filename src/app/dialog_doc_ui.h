#pragma once
// The document's dialogs and messages as the user sees them, over a parent
// window.
#include "app/doc_ui.h"

class QWidget;

namespace orvane::app {

class CDialogDocUi : public CDocUi {
 public:
  explicit CDialogDocUi(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  bool askPageNumber(int& number, int maximum, const QString& hint) override;
  bool askResolutions(int& horizontal_index, int& vertical_index) override;
  bool askBitOrder(int& bit_order) override;
  bool askAdvanced(AdvancedValues& values) override;
  void showProperties(const FaxProperties& properties) override;
  void showTipsOfOpenFax() override;
  void message(const QString& text, const QString& caption) override;
  bool runLong(const QString& label, const std::function<void()>& work) override;
  bool runLongStoppable(const QString& label, const std::function<void()>& work,
                        std::atomic<bool>& stop) override;
  void beginWait() override;
  void endWait() override;

 private:
  QWidget* parent_;
};

}  // namespace orvane::app
