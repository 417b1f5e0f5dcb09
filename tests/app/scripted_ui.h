#pragma once
// A stand-in for the document's dialogs: answers set beforehand, and a
// record of what was asked and said.
#include <QStringList>
#include <optional>

#include "app/doc_ui.h"

namespace orvane::app::test {

struct ScriptedUi : CDocUi {
  // Answers; an empty answer means Cancel.
  std::optional<int> page_number;
  std::optional<std::pair<int, int>> resolutions;
  std::optional<int> bit_order;
  std::optional<AdvancedValues> advanced;
  bool cancel_long_work = false;

  // What happened.
  QString page_hint;
  std::pair<int, int> resolutions_shown{-1, -1};
  AdvancedValues advanced_shown;
  std::optional<FaxProperties> properties;
  int tips_shown = 0;
  int long_work_runs = 0;
  QStringList messages;  // "caption: text"

  bool askPageNumber(int& number, int, const QString& hint) override {
    page_hint = hint;
    if (!page_number) return false;
    number = *page_number;
    return true;
  }
  bool askResolutions(int& h, int& v) override {
    resolutions_shown = {h, v};
    if (!resolutions) return false;
    h = resolutions->first;
    v = resolutions->second;
    return true;
  }
  bool askBitOrder(int& order) override {
    if (!bit_order) return false;
    order = *bit_order;
    return true;
  }
  bool askAdvanced(AdvancedValues& values) override {
    advanced_shown = values;
    if (!advanced) return false;
    values = *advanced;
    return true;
  }
  void showProperties(const FaxProperties& p) override { properties = p; }
  void showTipsOfOpenFax() override { ++tips_shown; }
  void message(const QString& text, const QString& caption) override {
    messages << caption + QStringLiteral(": ") + text;
  }
  // Cancel is pressed before the work starts: work that follows a
  // control stops at its first step, other work runs to its end.
  bool runLong(const QString&, const std::function<void()>& work,
               WorkControl* control) override {
    ++long_work_runs;
    if (cancel_long_work && control) control->request_stop();
    work();
    return !cancel_long_work;
  }
};

}  // namespace orvane::app::test
