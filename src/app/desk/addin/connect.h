#pragma once

#include <functional>
#include <memory>
#include <string>

#include "doc/application.h"
#include "doc/command_bars.h"
#include "doc/document.h"

namespace varelo::host {

inline constexpr const char* kBarName = "Varelo";

// The add-in's entry point: the host drives it through the five calls below. On connection it
// builds (or reuses) the command bar "Varelo" with the settings button and five editing tools.
// The tools are enabled by the host exactly while a sheet is its active document: a close
// (which may be cancelled, or leave another sheet showing) does not switch them off here.
// The core has no windows and the tools live in a library that depends on this one, so what the
// buttons do is supplied by whoever hosts the add-in (the desktop, or a test).
class Connect {
  public:
    // addinFolder: where vko.bmp and mask.bmp are read from.
    explicit Connect(std::string addinFolder);
    ~Connect();
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;

    // The host's add-in interface. Only the application argument of OnConnection is used.
    void OnConnection(Application& application, int connectMode = 0);
    void OnDisconnection(int removeMode = 0);
    void OnAddInsUpdate() {}
    void OnStartupComplete() {}
    void OnBeginShutdown() {}

    // Finds or builds the bar; any error is shown as a message ("number\r\ndescription").
    void CreateBar();
    // Deletes the first bar named "Varelo"; a bar that is already gone is not an error.
    void DeleteBar();

    void cbbButton_Click(CommandBarControl& ctrl, bool& cancelDefault);
    void cbbBox_Click(CommandBarControl& ctrl, bool& cancelDefault);
    void cbbLine_Click(CommandBarControl& ctrl, bool& cancelDefault);
    void cbbZuwen_Click(CommandBarControl& ctrl, bool& cancelDefault);
    void cbbHebing_Click(CommandBarControl& ctrl, bool& cancelDefault);
    void cbbGrid_Click(CommandBarControl& ctrl, bool& cancelDefault);

    const std::string& AddinFolder() const { return addinFolder_; }

    // The shared application object the rest of the add-in reaches, and the one whose events
    // this add-in receives. Both are cleared on disconnection.
    Application* application = nullptr;
    Application* wdApp = nullptr;
    CommandBarControl* cbbButton = nullptr;
    CommandBarControl* cbbBox = nullptr;
    CommandBarControl* cbbLine = nullptr;
    CommandBarControl* cbbZuwen = nullptr;
    CommandBarControl* cbbHebing = nullptr;
    CommandBarControl* cbbGrid = nullptr;

    // Shows the settings dialog modally.
    std::function<void(Application&)> showSettings;
    // The editing tools; each receives the host application and the cancel-default flag.
    using ToolHandler = std::function<void(Application&, bool& cancelDefault)>;
    ToolHandler boxTool, lineTool, zuwenTool, hebingTool, gridTool;

  private:
    void BindControls(CommandBar& bar);
    void BindControl(int index, CommandBarControl& control);  // index 1..6
    void Unbind();
    void RunTool(const ToolHandler& tool, bool& cancelDefault);

    std::string addinFolder_;
    // Lets click handlers left on the host's buttons outlive a disconnection safely.
    std::shared_ptr<Connect*> self_;
};

}  // namespace varelo::host
