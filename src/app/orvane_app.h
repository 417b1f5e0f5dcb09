#pragma once
// The application: starts the program (loading window, scratch folder,
// document, window, command line), carries the application-level commands
// (Open, New, Save, Save As, About) and removes the scratch files at exit.
#include <QObject>
#include <QStringList>
#include <memory>

#include "app/app_settings.h"
#include "app/dialog_doc_ui.h"
#include "core/scratch_dir.h"

namespace orvane::app {

class CMainFrame;
class COrvaneDoc;

// The name Save As offers for `fax`: its name with the ending ".tif".
QString tiff_name_for(const QString& fax);

class COrvaneApp : public QObject {
  Q_OBJECT
 public:
  // Null `settings`: the per-user store; null `ui`: the real dialogs.
  explicit COrvaneApp(std::unique_ptr<CAppSettings> settings = nullptr,
                      std::unique_ptr<CDocUi> ui = nullptr);
  ~COrvaneApp() override;

  // Start-up with the command line's arguments (the program name left
  // out). False when it failed; the user has been told why.
  bool start(const QStringList& arguments, bool show_window = true);

  // Opens `path` as the document and puts it at the top of the recent
  // files; on failure tells the user, and the fax on view stays.
  bool openDocumentFile(const QString& path);
  void fileOpen();
  void fileNew();
  void fileSave();
  void fileSaveAs();
  void about();

  CMainFrame& frame() { return *frame_; }
  COrvaneDoc& doc() { return *doc_; }
  CAppSettings& settings() { return *settings_; }
  const ScratchDir& scratch() const { return scratch_; }

 private:
  void saveTo(const QString& target);
  void fail(const QString& message);

  ScratchDir scratch_;
  std::unique_ptr<CAppSettings> settings_;
  std::unique_ptr<CDocUi> ui_;
  std::unique_ptr<COrvaneDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace orvane::app
