#pragma once

#include <QMainWindow>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/connect.h"
#include "layout/omr_template.h"
#include "layout/sheet_form.h"

class QAction;
class QToolBar;

namespace varelo::desk {

class PageView;

// The window that stands in for the word processor: it owns the application object, shows
// the active document, mirrors the host's command bars as toolbars, and hosts the add-in.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // addinFolder: where the add-in reads its button bitmaps.
    explicit MainWindow(std::string addinFolder, QWidget* parent = nullptr);
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
    bool SaveAs();
    bool SaveDocument(host::Document& doc, const QString& path);
    bool ExportPdf();
    // The scanner template of a sheet the settings dialog made in this window, in the format
    // and (for OMRChecker) at the resolution the user picks.
    bool ExportOmrTemplate();
    bool WriteOmrTemplate(host::Document& doc, const QString& path, layout::OmrFormat format,
                          int dpi);
    bool Print();
    bool CloseDocument();

    // Edit > Undo (Ctrl+Z): takes back the last editing tool that changed the active document.
    bool Undo();
    bool CanUndo();
    static constexpr size_t kUndoLevels = 20;  // per document

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void SyncCommandBars();
    void ClickControl(const host::CommandBarControl* control);
    void DocumentsChanged();
    void ShowMessage(const std::string& text);
    host::SaveChoice AskToSave(host::Document& doc);
    QString AskForPath(const QString& caption, const QString& suggested, const QString& filter);
    // Shows the settings dialog; a sheet it makes is remembered with the form it was made from.
    host::Document* RunSettingsDialog();
    // A tool that keeps an undo level when it changes the active document.
    host::Connect::ToolHandler Undoable(void (*tool)(host::Application&, bool&));
    void EnableTools();
    void UpdateUndoAction();

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
    std::map<const host::Document*, layout::SheetForm> sheetForms_;
    // The document as it was before each tool that changed it, newest last. The selection is
    // kept as the index of its top-level table and its cells, for after the restore.
    struct UndoLevel {
        host::Document before;
        int table = 0;  // 0: no selection in a top-level table
        host::CellRect cells;
    };
    std::map<const host::Document*, std::deque<UndoLevel>> undo_;

    QAction *saveAsAction_, *exportPdfAction_, *exportOmrAction_, *printAction_, *closeAction_;
    QAction* undoAction_;
};

// "设置&S" -> "设置(&S)": an accelerator after Chinese text is shown in brackets, as Chinese
// menus write it; "&&" stays a literal ampersand.
QString MenuText(const std::string& caption);

}  // namespace varelo::desk
