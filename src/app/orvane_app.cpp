#include "app/orvane_app.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>

#include "app/dialogs/about_dlg.h"
#include "app/dialogs/dialog_look.h"
#include "app/file_filters.h"
#include "app/find_commands.h"
#include "app/folders/folder_commands.h"
#include "app/help/help_contents.h"
#include "app/input_check.h"
#include "app/loading_window.h"
#include "app/main_frame.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "app/pdf_export_dialog.h"
#include "app/printing/print_commands.h"
#include "app/printing/print_handlers.h"

// Resources of a static library are registered by name from the global
// namespace.
static void register_resources() {
  Q_INIT_RESOURCE(orvane);
}

namespace orvane::app {

QString tiff_name_for(const QString& fax) {
  const QFileInfo info(fax);
  return info.completeBaseName() + QStringLiteral(".tif");
}

COrvaneApp::COrvaneApp(std::unique_ptr<CAppSettings> settings, std::unique_ptr<CDocUi> ui)
    : settings_(settings ? std::move(settings) : std::make_unique<CAppSettings>()),
      ui_(std::move(ui)) {
  register_resources();
  auto* dialogs = ui_ ? nullptr : new CDialogDocUi;
  if (dialogs) ui_.reset(dialogs);
  doc_ = std::make_unique<COrvaneDoc>(scratch_.paths(), *ui_);
  frame_ = std::make_unique<CMainFrame>(*doc_, *settings_);
  if (dialogs) dialogs->setParent(frame_.get());
  frame_->setWindowIcon(QIcon(QStringLiteral(":/icons/orvane.png")));
  frame_message_boxes(frame_.get());
  frame_->setHandler(kCmdFileOpen, [this] { fileOpen(); });
  frame_->setHandler(kCmdFileNew, [this] { fileNew(); });
  frame_->setHandler(kCmdFileSave, [this] { fileSave(); });
  frame_->setHandler(kCmdFileSaveAs, [this] { fileSaveAs(); });
  frame_->setHandler(kCmdFileExportPdf, [this] {
    export_pdf_with_dialog(frame_.get(), *doc_, doc_->path(), settings_.get());
  });
  frame_->setHandler(kCmdAppAbout, [this] { about(); });
  frame_->setHandler(kCmdHelpContents, [this] { open_help_contents(frame_.get()); });
  // Owned by the window.
  new CFolderCommands(*frame_, *doc_);
  new CFindCommands(*frame_, *doc_, settings_->findLanguage());
  auto* printing = new CPrintCommands(
      *settings_,
      [this](const QString& label, const std::function<void()>& work) {
        return ui_->runLong(label, work);
      },
      frame_.get());
  install_print_handlers(*frame_, *doc_, *printing);
  connect(frame_.get(), &CMainFrame::recentFileChosen, this, [this](const QString& path) {
    if (!openDocumentFile(path)) settings_->removeRecentFile(path);
  });
  connect(frame_.get(), &CMainFrame::fileDropped, this, &COrvaneApp::openDocumentFile);
}

// The window goes before the document it shows; the scratch folder, removed
// with its files, last.
COrvaneApp::~COrvaneApp() {
  frame_.reset();
  doc_.reset();
}

void COrvaneApp::fail(const QString& message) {
  QMessageBox::critical(nullptr, QStringLiteral("Orvane"), message);
}

bool COrvaneApp::start(const QStringList& arguments, bool show_window) {
  auto* loading = new CLoadingWindow;
  loading->show();
  QApplication::processEvents();

  if (!scratch_.ok()) {
    loading->startupDone();
    fail(tr("Cannot create a private scratch folder in the temporary folder."));
    return false;
  }
  if (arguments.size() > 1) {
    loading->startupDone();
    fail(tr("Usage: orvane [FILE]"));
    return false;
  }
  // The window is shown before a long file is read, with the progress of
  // that reading over it; a file that cannot be opened at all ends the
  // start-up before anything is shown.
  QString path;
  if (!arguments.isEmpty()) {
    path = arguments.first();
    if (!QFileInfo::exists(path)) {
      loading->startupDone();
      fail(tr("The file \"%1\" cannot be found.").arg(path));
      return false;
    }
    const QString problem = input_problem(path);
    if (!problem.isEmpty()) {
      loading->startupDone();
      fail(problem);
      return false;
    }
  }
  fileNew();
  loading->startupDone();
  if (show_window) {
    if (!frame_->restoreLayout()) {
      frame_->showMaximized();
    } else {
      frame_->show();
    }
    QApplication::processEvents();
  }
  // The file was found readable above: failing now means the user
  // cancelled its reading, and the empty window stays.
  if (!path.isEmpty()) openDocumentFile(path);
  return true;
}

bool COrvaneApp::openDocumentFile(const QString& path) {
  QString error;
  if (!doc_->open(path, &error)) {
    // No error: the user cancelled the reading.
    if (!error.isEmpty()) QMessageBox::warning(frame_.get(), QStringLiteral("Orvane"), error);
    return false;
  }
  settings_->addRecentFile(path);
  return true;
}

void COrvaneApp::fileOpen() {
  QFileDialog dialog(frame_.get(), tr("Open"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(open_name_filters());
  dialog.selectNameFilter(open_name_filters().first());
  // The fax's own folder; before the first fax, the bundled samples are the
  // likeliest thing to try.
  if (doc_->everOpened() && !doc_->path().isEmpty()) {
    dialog.setDirectory(QFileInfo(doc_->path()).absolutePath());
  } else if (const QString samples = samples_folder(); !samples.isEmpty()) {
    dialog.setDirectory(samples);
  }
  fit_file_dialog(dialog, frame_.get());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  // The keyboard goes to the page, wherever it was before the dialog.
  if (openDocumentFile(dialog.selectedFiles().first()))
    frame_->view()->setFocus(Qt::OtherFocusReason);
}

void COrvaneApp::fileNew() {
  doc_->newDocument();
}

// Save: the save step with the fax on view as the target, or Save As when
// nothing was ever opened.
void COrvaneApp::fileSave() {
  if (!doc_->everOpened() || doc_->untitled()) {
    frame_->runCommand(kCmdFileSaveAs);  // only when Save As may be given
    return;
  }
  saveTo(doc_->path());
}

void COrvaneApp::fileSaveAs() {
  QFileDialog dialog(frame_.get(), tr("Save As"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QStringLiteral("TIF Files(*.tif)")});
  dialog.setDefaultSuffix(QStringLiteral("tif"));
  fit_file_dialog(dialog, frame_.get());
  // NAME.tif beside the fax: the fax's own name would ask to replace it.
  if (!doc_->path().isEmpty()) {
    dialog.setDirectory(QFileInfo(doc_->path()).absolutePath());
    dialog.selectFile(tiff_name_for(doc_->path()));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  saveTo(dialog.selectedFiles().first());
}

void COrvaneApp::saveTo(const QString& target) {
  if (doc_->save(target) == COrvaneDoc::SaveResult::kConverted) settings_->addRecentFile(target);
}

void COrvaneApp::about() {
  CAboutDlg dialog(frame_.get());
  dialog.exec();
}

}  // namespace orvane::app
