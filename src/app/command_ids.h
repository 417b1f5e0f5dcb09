#pragma once
// The numbered commands of the viewer. The numbers are those the help and
// the menus were written against; each has one row in the command table.

namespace orvane::app {

enum CommandId : int {
  kCmdNone = 0,  // a separator in a menu or toolbar layout
  kCmdFileNew = 57600,
  kCmdFileOpen = 57601,
  kCmdFileSave = 57603,
  kCmdFileSaveAs = 57604,
  kCmdFilePrintSetup = 57606,
  kCmdFilePrint = 57607,
  kCmdFilePrintPreview = 57609,
  kCmdFileMru = 57616,
  kCmdEditCopy = 57634,
  kCmdEditCut = 57635,
  kCmdEditPaste = 57637,
  kCmdEditUndo = 57643,
  kCmdAppAbout = 57664,
  kCmdAppExit = 57665,
  kCmdHelpContents = 57670,
  kCmdNextPane = 57680,
  kCmdPrevPane = 57681,
  kCmdViewToolbar = 59392,
  kCmdViewStatusBar = 59393,
  kCmdPagePrevious = 32771,
  kCmdPageNext = 32773,
  kCmdPageFirst = 32774,
  kCmdPageLast = 32775,
  kCmdPageNumber = 32776,
  kCmdPageProperties = 32777,
  kCmdZoomOut = 32787,
  kCmdZoomIn = 32788,
  kCmdResolutionList = 32791,
  kCmdResolutions = 32792,
  kCmdViewFolderToolbar = 32813,
  kCmdBitOrder = 32815,
  kCmdFlip = 32817,
  kCmdMirror = 32820,
  kCmdAdvanced = 32821,
  kCmdPreviousImage = 32822,
  kCmdNextImage = 32823,
  kCmdSlideShow = 32824,
  kCmdOptions = 32825,
  kCmdReversed = 32826,
  kCmdViewFolderBar = 32799,
  kCmdFileExportPdf = 32830,
  kCmdFitWidth = 32831,
  kCmdFitPage = 32832,
  kCmdViewThumbnails = 32833,
  kCmdFindText = 32900,
  kCmdFindNext = 32901,
  kCmdFindPrevious = 32902,
};

}  // namespace orvane::app
