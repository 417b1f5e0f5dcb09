#pragma once
// The three pages of the "Fax Properties" sheet. Every field is read-only.
#include <QWidget>

#include "app/doc_ui.h"

class QLineEdit;

namespace orvane::app {

// A page of labelled read-only fields, in the order added.
class CFaxPropertyPage : public QWidget {
  Q_OBJECT
 public:
  explicit CFaxPropertyPage(QWidget* parent = nullptr);
  // The text of the field labelled `label` (empty when there is none).
  QString field(const QString& label) const;

 protected:
  void addField(const QString& label, const QString& value);
};

class CPageFax : public CFaxPropertyPage {
  Q_OBJECT
 public:
  explicit CPageFax(const FaxProperties& p, QWidget* parent = nullptr);
};

class CPageResolution : public CFaxPropertyPage {
  Q_OBJECT
 public:
  explicit CPageResolution(const FaxProperties& p, QWidget* parent = nullptr);
};

class CPageSize : public CFaxPropertyPage {
  Q_OBJECT
 public:
  explicit CPageSize(const FaxProperties& p, QWidget* parent = nullptr);
};

// Numbers as a property sheet shows them: up to six significant digits.
QString general_number(double value);

}  // namespace orvane::app
