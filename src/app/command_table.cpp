#include "app/command_table.h"

#include <algorithm>
#include <array>

namespace orvane::app {

namespace {

constexpr CommandEntry kCommands[] = {
    // File
    {kCmdFileOpen, "&Open...\tCtrl+O", "Open an existing fax document", "Open", "Ctrl+O",
     "document-open", ":/icons/open.png", false},
    {kCmdFileSaveAs, "Save &As...", "Convert the none TIFF fax file to a TIFF file", "Convert to",
     "", "document-save-as", ":/icons/save-as.png", false},
    {kCmdFileExportPdf, "&Export as PDF...", "Export the fax file to a PDF file", "Export as PDF",
     "", "document-export", "", false},
    {kCmdFileClose, "&Close\tCtrl+W", "Close the fax on view", "Close", "Ctrl+W", "window-close",
     "", false},
    {kCmdFilePrint, "&Print...\tCtrl+P", "Print the active document", "Print", "Ctrl+P",
     "document-print", ":/icons/print.png", false},
    {kCmdFilePrintPreview, "Print Pre&view", "Display full pages", "Print Preview", "",
     "document-print-preview", ":/icons/print-preview.png", false},
    {kCmdFilePrintSetup, "P&rint Setup...", "Change the printer and printing options",
     "Print Setup", "", "document-page-setup", "", false},
    {kCmdFileMru, "Recent File", "Open this document", "", "", "", "", false},
    {kCmdAppExit, "E&xit", "Quit the application; prompts to save documents", "Exit", "Ctrl+Q",
     "application-exit", "", false},
    // Image
    {kCmdZoomIn, "Zoom &In", "Zoom in", "Zoom in", "Ctrl++; Ctrl+=", "zoom-in",
     ":/icons/zoom-in.png", false},
    {kCmdZoomOut, "Zoom &Out", "Zoom out", "Zoom out", "Ctrl+-", "zoom-out", ":/icons/zoom-out.png",
     false},
    {kCmdZoomActual, "Act&ual Size", "Show the page at scaling 1.00", "Actual size", "Ctrl+0",
     "zoom-original", "", false},
    {kCmdFitWidth, "Fit &Width", "Fit the page's width into the window",
     "Fit the page's width into the window", "", "zoom-fit-width", "", true},
    {kCmdFitPage, "Fit P&age", "Fit the whole page into the window",
     "Fit the whole page into the window", "", "zoom-fit-best", "", true},
    {kCmdFlip, "F&lip", "Flip fax image", "Flip fax image", "", "object-flip-vertical",
     ":/icons/flip.png", false},
    {kCmdMirror, "&Mirror", "Mirror fax image", "Mirror fax image", "", "object-flip-horizontal",
     ":/icons/mirror.png", false},
    {kCmdRotateLeft, "Rotate &Left", "Turn the page a quarter turn to the left", "Rotate left",
     "Ctrl+L", "object-rotate-left", "", false},
    {kCmdRotateRight, "Rotate &Right", "Turn the page a quarter turn to the right", "Rotate right",
     "Ctrl+R", "object-rotate-right", "", false},
    {kCmdPreviousImage, "&Previous Image", "View previous image", "View previous image", "",
     "go-previous", ":/icons/previous-image.png", false},
    {kCmdNextImage, "&Next Image", "View next image", "View next image", "", "go-next",
     ":/icons/next-image.png", false},
    {kCmdSlideShow, "&Slide Show", "Slide show fax images", "Slide show fax images", "",
     "media-playback-start", ":/icons/slide-show.png", true},
    // Page
    {kCmdPageProperties, "&Properties", "Page properties", "Page properties", "",
     "document-properties", ":/icons/properties.png", false},
    {kCmdPagePrevious, "Pre&vious Page", "Go to previous page", "Previous page", "", "go-up",
     ":/icons/previous-page.png", false},
    {kCmdPageNext, "&Next Page", "Go to next page", "Next page", "", "go-down",
     ":/icons/next-page.png", false},
    {kCmdPageFirst, "F&irst Page", "Go to first page", "First page", "Home", "go-top",
     ":/icons/first-page.png", false},
    {kCmdPageLast, "&Last Page", "Go to last page", "Last page", "End", "go-bottom",
     ":/icons/last-page.png", false},
    {kCmdPageNumber, "Pa&ge Number...", "Go to page", "Go to page", "", "go-jump",
     ":/icons/page-number.png", false},
    {kCmdFindText, "&Find Text...\tCtrl+F", "Find words in the pages of the fax (read by OCR)",
     "Find text", "Ctrl+F", "edit-find", "", false},
    // Settings
    {kCmdResolutions, "&Resolutions...", "Modify horizontal resolution and/or vertical resolution",
     "Modify resolutions ", "", "", "", false},
    {kCmdBitOrder, "&Bit order", "Modify bit order to try again", "Modify bit order to try again",
     "", "view-sort-ascending", ":/icons/bit-order.png", false},
    {kCmdAdvanced, "&Advanced", "Set advanced control parameters to try again",
     "Set advanced control parameters to try again", "", "preferences-system",
     ":/icons/advanced.png", false},
    {kCmdOptions, "&Options", "Set options such as slide show interval", "Set options ", "", "", "",
     false},
    // View
    {kCmdViewToolbar, "&Toolbar", "Show or hide the toolbar", "Toggle ToolBar", "", "", "", true},
    {kCmdViewStatusBar, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar", "", "",
     "", true},
    {kCmdViewFolderToolbar, "Folder Toolbar", "Show or hide the folder toolbar",
     "Toggle Folder ToolBar", "", "", "", false},
    {kCmdViewFolderBar, "F&older Bar", "Show or hide the folder bar", "Toggle FolderBar", "",
     "folder", ":/icons/folder-bar.png", true},
    {kCmdViewThumbnails, "Page T&humbnails", "Show or hide the page thumbnails",
     "Toggle Page Thumbnails", "", "view-preview", "", true},
    {kCmdViewFullScreen, "F&ull Screen", "Show the window on the whole screen", "Full screen",
     "F11", "view-fullscreen", "", true},
    // Help
    {kCmdHelpContents, "&Contents", "Open Help Contents", "Help contents", "", "help-contents", "",
     false},
    {kCmdAppAbout, "&About Orvane...", "Display program information, version number and copyright",
     "About", "", "help-about", ":/icons/about.png", false},
    // On the toolbar, and in the Image menu for its key
    {kCmdReversed, "Re&versed Image", "Show reversed image ", "show reversed image", "Ctrl+I", "",
     ":/icons/reversed.png", true},
    // Keyboard only
    {kCmdFileNew, "", "Create a new document", "", "Ctrl+N", "", "", false},
    {kCmdFileSave, "", "Save the active document", "", "Ctrl+S", "", "", false},
    {kCmdEditUndo, "", "Undo the last action", "", "Ctrl+Z; Alt+Backspace", "", "", false},
    {kCmdEditCut, "", "Cut the selection and put it on the Clipboard", "", "Ctrl+X; Shift+Del", "",
     "", false},
    {kCmdEditCopy, "", "Copy the selection and put it on the Clipboard", "", "Ctrl+C; Ctrl+Ins", "",
     "", false},
    {kCmdEditPaste, "", "Insert Clipboard contents", "", "Ctrl+V; Shift+Ins", "", "", false},
    {kCmdNextPane, "", "Switch to the next window pane", "", "F6", "", "", false},
    {kCmdPrevPane, "", "Switch back to the previous window pane", "", "Shift+F6", "", "", false},
    {kCmdFindNext, "", "Go to the next place the text was found", "", "F3", "", "", false},
    {kCmdFindPrevious, "", "Go to the previous place the text was found", "", "Shift+F3", "", "",
     false},
};

constexpr CommandId kFileMenu[] = {kCmdFileOpen,         kCmdFileSaveAs,     kCmdFileExportPdf,
                                   kCmdFileClose,        kCmdNone,           kCmdFilePrint,
                                   kCmdFilePrintPreview, kCmdFilePrintSetup, kCmdNone,
                                   kCmdFileMru,          kCmdNone,           kCmdAppExit};
constexpr CommandId kImageMenu[] = {
    kCmdZoomIn, kCmdZoomOut,       kCmdZoomActual, kCmdFitWidth,    kCmdFitPage,
    kCmdFlip,   kCmdMirror,        kCmdRotateLeft, kCmdRotateRight, kCmdReversed,
    kCmdNone,   kCmdPreviousImage, kCmdNextImage,  kCmdSlideShow};
constexpr CommandId kPageMenu[] = {kCmdPageProperties, kCmdNone,       kCmdPagePrevious,
                                   kCmdPageNext,       kCmdPageFirst,  kCmdPageLast,
                                   kCmdNone,           kCmdPageNumber, kCmdFindText};
constexpr CommandId kSettingsMenu[] = {kCmdResolutions, kCmdBitOrder, kCmdNone,
                                       kCmdAdvanced,    kCmdNone,     kCmdOptions};
constexpr CommandId kViewMenu[] = {kCmdViewToolbar,   kCmdViewStatusBar, kCmdViewFolderToolbar,
                                   kCmdNone,          kCmdViewFolderBar, kCmdViewThumbnails,
                                   kCmdViewFullScreen};
constexpr CommandId kHelpMenu[] = {kCmdHelpContents, kCmdNone, kCmdAppAbout};

const MenuSpec kMenus[] = {
    {"&File", kFileMenu},         {"&Image", kImageMenu}, {"&Page", kPageMenu},
    {"&Settings", kSettingsMenu}, {"&View", kViewMenu},   {"&Help", kHelpMenu},
};

constexpr CommandId kToolbar[] = {
    kCmdFileOpen,   kCmdNone,           kCmdViewFolderBar, kCmdBitOrder,       kCmdAdvanced,
    kCmdNone,       kCmdZoomIn,         kCmdZoomOut,       kCmdFlip,           kCmdMirror,
    kCmdReversed,   kCmdNone,           kCmdSlideShow,     kCmdPreviousImage,  kCmdNextImage,
    kCmdNone,       kCmdPagePrevious,   kCmdPageNext,      kCmdPageFirst,      kCmdPageLast,
    kCmdPageNumber, kCmdPageProperties, kCmdNone,          kCmdResolutionList, kCmdNone,
    kCmdFilePrint,  kCmdAppAbout,
};

constexpr PaneSpec kFaxPanes[] = {{"Coding", 140}, {"Page", 100}, {"Size", 70}, {"Scaling", 30}};

constexpr const char* kVerticalResolutions[] = {"Standard (3.85lines/mm)", "Fine (7.7lines/mm)",
                                                "SFine (11.55lines/mm)", "High (15.4lines/mm)"};

}  // namespace

std::span<const CommandEntry> command_table() {
  return kCommands;
}

const CommandEntry* find_command(CommandId id) {
  const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                               [id](const CommandEntry& c) { return c.id == id; });
  return it == std::end(kCommands) ? nullptr : &*it;
}

std::span<const MenuSpec> menu_layout() {
  return kMenus;
}
std::span<const CommandId> toolbar_layout() {
  return kToolbar;
}
std::span<const PaneSpec> fax_panes() {
  return kFaxPanes;
}
std::span<const char* const> vertical_resolution_items() {
  return kVerticalResolutions;
}

}  // namespace orvane::app
