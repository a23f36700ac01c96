#pragma once

#include <QMainWindow>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/desk/addin/connect.h"
#include "app/desk/addin/sheet_form.h"
#include "desk_state.h"
#include "doc/application.h"
#include "edit/edit_history.h"
#include "omr/omr_template.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;

namespace varelo::desk {

class CellEditor;
class FormatBar;
class PageView;
class SheetPrinter;

// The window that stands in for the word processor: it owns the application object, shows
// the active document, mirrors the host's command bars as toolbars, and hosts the add-in.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // addinFolder: where the add-in reads its button bitmaps; stateFile: where the last folder
    // and the recent files are kept.
    explicit MainWindow(std::string addinFolder, QString stateFile = DeskState::DefaultFile(),
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    host::Application& App() { return app_; }
    PageView* View() { return view_; }
    // The connected add-in, or nullptr.
    host::Connect* AddIn() { return addIn_.get(); }

    // Connects every add-in the record file loads at start-up (registering this one on a
    // fresh install); problems with the file are reported on stderr.
    void LoadAddIns(const std::string& recordFile);
    // Connects the add-in directly, whatever the record file says.
    void ConnectAddIn();
    void DisconnectAddIn();

    // The toolbar and buttons that show the host's bars and controls, while they exist.
    QToolBar* ToolBarFor(const host::CommandBar& bar) const;
    QAction* ActionFor(const host::CommandBarControl& control) const;

    // Runs the settings dialog's OK path for the example sheet: layout "A3三栏", the dialog's
    // defaults and one default group. Returns the sheet, or nullptr.
    host::Document* GenerateExampleSheet();

    // File actions on the active document. Each returns false when nothing was done.
    // Open asks for a .docx; OpenFile reads one that Varelo wrote, makes it the active document
    // and enables the editing tools so the sheet can be finished. A file that is not a Varelo
    // sheet, or is damaged, is refused with a message and nothing changes.
    bool Open();
    bool OpenFile(const QString& path);
    // 新建: a blank document. 保存: to the file the document came from or was saved to, asking
    // for a name the first time. The title shows the file name and "*" while it is unsaved.
    bool New();
    bool Save();
    bool SaveAs();
    bool SaveDocument(host::Document& doc, const QString& path);
    bool ExportPdf();
    // The scanner template of a sheet the settings dialog made in this window, in the format
    // and (for OMRChecker) at the resolution the user picks.
    bool ExportOmrTemplate();
    bool WriteOmrTemplate(host::Document& doc, const QString& path, layout::OmrFormat format,
                          int dpi);
    // 按此卡设置新建: the settings dialog prefilled with the active sheet's settings (those it
    // was made from, or those its .docx carries); the new sheet opens beside the earlier one,
    // which stays open. 设置 keeps opening with the defaults and closing what is open.
    host::Document* NewFromSheetSettings();
    // The settings a document was made from, if it has them.
    std::optional<settings::SheetForm> FormOf(const host::Document& doc) const;

    bool Print();
    // The pages as the printer will print them, in Qt's preview dialog.
    bool PrintPreview();
    bool CloseDocument();

    // 撤销 (Ctrl+Z) and 重做 (Ctrl+Y): the editing tools, typing in cells and the format bar.
    bool Undo();
    bool Redo();
    bool CanUndo();
    bool CanRedo();
    static constexpr size_t kUndoLevels = EditHistory::kLevels;
    // How long a tool's notice stays on the status bar.
    static constexpr int kNoticeMilliseconds = 15000;

    // Typing in cells: opens the in-place editor on the selection's first cell (`typed`
    // replaces its text), and ends it, keeping the text or not.
    bool BeginCellEdit(const QString& typed = {});
    void EndCellEdit(bool keep);
    CellEditor* Editor() { return editor_; }
    FormatBar* Format() { return formatBar_; }
    // The format bar's picks on every cell the selection touches. Cells holding bubbles or
    // positioning marks keep their font, so they stay readable by the scanner.
    bool ApplyFont(const host::CharFormat& format);
    bool ApplyAlignment(host::Alignment alignment);

    // 选定单元格 (Ctrl+G): selects cells of the page grid given as "R1,C1:R2,C2" or "R,C", the
    // numbers the status bar shows and `varelo edit --select` takes. False when they are not.
    bool SelectGridCells(const QString& cells);

    DeskState& State() { return state_; }
    QMenu* RecentMenu() { return recentMenu_; }
    // 窗口: one entry per open document, the active one checked.
    QMenu* WindowMenu() { return windowMenu_; }
    // The status bar's texts: page, cell under the pointer, selection.
    QString PageStatus() const;
    QString PointerStatus() const;
    QString SelectionStatus() const;
    // The status bar's zoom box: the scale as a percentage of the true size (实际大小 is 100%),
    // or 适合宽度 / 整页; a percentage typed and taken with Enter sets it. False for text
    // that is none of these.
    QComboBox* ZoomBox() { return zoomBox_; }
    bool SetZoomText(const QString& text);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Lets the window's shortcuts (undo, redo, alignment, the tools) through a box of the format
    // bar or the status bar that has the keyboard, which would otherwise take them as editing.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenus();
    void SyncCommandBars();
    void ClickControl(const host::CommandBarControl* control);
    void DocumentsChanged();
    void ShowMessage(const std::string& text);
    bool AskToConfirm(const std::string& question);
    void BuildStatusBar();
    void UpdateStatus();
    void AskForCells();
    void UpdateFormatBar();
    void RebuildRecentMenu();
    void RebuildWindowMenu();
    // Ctrl+Tab: the next open document, round to the first.
    void ShowNextDocument();
    // Prints the sheets, with messages shown as the window shows them.
    SheetPrinter Printer();
    void PlaceEditor();
    void CommitCellText(const QString& text);
    // Runs `change` on each cell the selection touches, as one undo level.
    // change(document, cell, its area, whether it holds bubbles or marks), once per selected cell.
    bool ChangeSelectedCells(
        const std::function<void(const host::Document&, host::Cell&, const host::CellRect&,
                                 bool holdsBubbles)>& change);
    host::SaveChoice AskToSave(host::Document& doc);
    // A file name to write, from the save dialog; `suffix` is added to a name typed without
    // one. `chosen` picks the filter first shown and returns the one taken.
    QString AskForPath(const QString& caption, const QString& suggested, const QString& filters,
                       const QString& suffix, QString* chosen = nullptr);
    // Shows the settings dialog, prefilled or with the defaults; a sheet it makes is
    // remembered with the form it was made from.
    host::Document* RunSettingsDialog(const settings::SheetForm* prefill = nullptr);
    // A tool that keeps an undo level when it changes the active document.
    host::Connect::ToolHandler Undoable(void (*tool)(host::Application&, bool&));
    // The tools are on exactly while a sheet (made here or opened) is the active document.
    void SyncTools();
    void UpdateUndoAction();
    QString StartIn(const QString& fileName) const;

    host::Application app_;
    std::string addinFolder_;
    std::unique_ptr<host::Connect> addIn_;
    PageView* view_ = nullptr;

    struct MirroredBar {
        QToolBar* toolbar;
        std::vector<const host::CommandBarControl*> controls;
    };
    std::map<const host::CommandBar*, MirroredBar> bars_;
    std::map<const host::CommandBarControl*, QAction*> actions_;
    // The settings each open sheet was made from: its scanner template needs the digit count
    // and the question list, which the dialog forgets when it closes.
    std::map<const host::Document*, settings::SheetForm> sheetForms_;
    // Sheets opened from a file: finished with the same tools as those made here.
    std::set<const host::Document*> openedSheets_;
    EditHistory history_;
    // While set, closes are refused: 按此卡设置新建 keeps the sheet it starts from.
    bool keepDocumentsOpen_ = false;
    DeskState state_;
    FormatBar* formatBar_ = nullptr;
    CellEditor* editor_ = nullptr;
    // The cell being typed into.
    struct EditTarget {
        const host::Document* doc = nullptr;
        const host::Table* table = nullptr;
        host::CellRect area;
    } editTarget_;

    QAction *saveAction_, *saveAsAction_, *exportPdfAction_, *exportOmrAction_, *printAction_,
        *previewAction_, *closeAction_;
    QAction *undoAction_, *redoAction_, *newFromSettingsAction_;
    QMenu* recentMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* nextDocumentAction_ = nullptr;
    QLabel *pageLabel_, *pointerLabel_, *selectionLabel_;
    QComboBox* zoomBox_ = nullptr;
    QString pointer_;
};

// "设置&S" -> "设置(&S)": an accelerator after Chinese text is shown in brackets, as Chinese
// menus write it; "&&" stays a literal ampersand.
QString MenuText(const std::string& caption);

}  // namespace varelo::desk
