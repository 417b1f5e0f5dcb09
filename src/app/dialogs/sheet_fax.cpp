#include "app/dialogs/sheet_fax.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/dialogs/dialog_look.h"
#include "app/dialogs/fax_property_pages.h"

namespace orvane::app {

CSheetFax::CSheetFax(const FaxProperties& properties, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget) {
  setWindowTitle(QStringLiteral("Fax Properties"));
  apply_dialog_frame(this);
  for (QWidget* page : {static_cast<QWidget*>(new CPageFax(properties)),
                        static_cast<QWidget*>(new CPageResolution(properties)),
                        static_cast<QWidget*>(new CPageSize(properties))}) {
    tabs_->addTab(page, page->windowTitle());
  }
  // Nothing here can be changed, so there is nothing to apply.
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

}  // namespace orvane::app
