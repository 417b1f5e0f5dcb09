#include "app/dialog_doc_ui.h"

#include <QApplication>
#include <QMessageBox>

#include "app/dialogs/input_page_dlg.h"
#include "app/dialogs/set_advanced_dlg.h"
#include "app/dialogs/set_bit_order_dlg.h"
#include "app/dialogs/set_resolution_dlg.h"
#include "app/dialogs/sheet_fax.h"
#include "app/dialogs/tips_dlg.h"
#include "app/long_work.h"

namespace orvane::app {

bool CDialogDocUi::askPageNumber(int& number, int maximum, const QString& hint) {
  CInputPageDlg dialog(number, maximum, hint, parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  number = dialog.number();
  return true;
}

bool CDialogDocUi::askResolutions(int& horizontal_index, int& vertical_index) {
  CSetResolutionDlg dialog(horizontal_index, vertical_index, parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  horizontal_index = dialog.horizontalIndex();
  vertical_index = dialog.verticalIndex();
  return true;
}

bool CDialogDocUi::askBitOrder(int& bit_order) {
  CSetBitOrderDlg dialog(bit_order, parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  bit_order = dialog.bitOrder();
  return true;
}

bool CDialogDocUi::askAdvanced(AdvancedValues& values) {
  CSetAdvancedDlg dialog(values, parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  values = dialog.values();
  return true;
}

void CDialogDocUi::showProperties(const FaxProperties& properties) {
  CSheetFax sheet(properties, parent_);
  sheet.exec();
}

void CDialogDocUi::showTipsOfOpenFax() {
  CTipsDlg dialog(parent_);
  dialog.exec();
}

void CDialogDocUi::message(const QString& text, const QString& caption) {
  QMessageBox::information(parent_, caption, text, QMessageBox::Ok);
}

bool CDialogDocUi::runLong(const QString& label, const std::function<void()>& work) {
  return run_long_work(parent_, label, work);
}

bool CDialogDocUi::runLongStoppable(const QString& label, const std::function<void()>& work,
                                    std::atomic<bool>& stop) {
  return run_long_work(parent_, label, work, &stop);
}

void CDialogDocUi::beginWait() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}
void CDialogDocUi::endWait() {
  QApplication::restoreOverrideCursor();
}

}  // namespace orvane::app
