#include "app/desk/addin/connect.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "doc/errors.h"

namespace varelo::host {

namespace {

// Reported for a failure that carries no host error number ("Automation error").
constexpr int kErrAutomation = 440;

struct ToolButton {
    const char* parameter;
    const char* caption;
    const char* tooltip;
    int width;  // 0: left as the host sets it
};

// Controls 2 to 6, in the order they are added.
constexpr std::array<ToolButton, 5> kToolButtons{{
    {"方框", "方框&B", "画出选定区域的边框", 24},
    {"直线", "直线&L", "画出选定区域的下边框", 24},
    {"作文稿纸", "作文&C", "制作作文稿纸", 0},
    {"合并单元格", "合并单元格&M", "将选中区域合并为单元格", 0},
    {"显示（隐藏）线框", "网格&G", "显示或隐藏虚线框", 0},
}};

}  // namespace

Connect::Connect(std::string addinFolder)
    : addinFolder_(std::move(addinFolder)), self_(std::make_shared<Connect*>(this)) {}

Connect::~Connect() {
    Unbind();
    self_.reset();
}

void Connect::OnConnection(Application& app, int /*connectMode*/) {
    application = &app;
    wdApp = &app;
    CreateBar();
}

void Connect::OnDisconnection(int /*removeMode*/) {
    // The references go whatever happens to the bar, so nothing keeps pointing into a host
    // that is shutting down.
    struct Clear {
        Connect& c;
        ~Clear() {
            c.Unbind();
            c.application = nullptr;
            c.wdApp = nullptr;
            c.cbbButton = c.cbbBox = c.cbbLine = c.cbbZuwen = c.cbbHebing = c.cbbGrid = nullptr;
        }
    } clear{*this};
    DeleteBar();
}

void Connect::CreateBar() {
    if (!application) return;
    CommandBars& bars = application->commandBars;
    try {
        for (auto& existing : bars.All()) {
            if (existing->name != kBarName) continue;
            existing->visible = true;
            BindControls(*existing);
            bars.NotifyChanged();
            return;
        }

        CommandBar& bar = bars.Add(kBarName, /*temporary=*/true);
        bar.position = kBarTop;

        CommandBarControl& settings = bar.AddControl(kControlButton);
        settings.parameter = "设置";
        BindControl(1, settings);

        Picture picture = LoadPicture(addinFolder_ + "/vko.bmp");
        Picture mask = LoadPicture(addinFolder_ + "/mask.bmp");

        settings.style = kButtonIconAndCaption;
        settings.beginGroup = true;
        settings.picture = std::move(picture);
        settings.mask = std::move(mask);
        settings.caption = "设置&S";
        settings.tooltipText = "对要生成的答题卡进行设置";
        settings.width = 24;

        std::array<CommandBarControl*, 5> tools{};
        for (size_t i = 0; i < kToolButtons.size(); ++i) {
            tools[i] = &bar.AddControl(kControlButton);
            tools[i]->parameter = kToolButtons[i].parameter;
            BindControl(static_cast<int>(i) + 2, *tools[i]);
        }

        for (size_t i = 0; i < kToolButtons.size(); ++i) {
            CommandBarControl& c = *tools[i];
            c.style = kButtonCaption;
            c.tooltipText = kToolButtons[i].tooltip;
            c.caption = kToolButtons[i].caption;
            if (kToolButtons[i].width) c.width = kToolButtons[i].width;
            c.enabled = false;
        }

        bar.visible = true;
        bars.NotifyChanged();
    } catch (const HostError& e) {
        bars.NotifyChanged();
        application->ShowMessage(std::to_string(e.Number()) + "\r\n" + e.what());
    } catch (const std::exception& e) {
        bars.NotifyChanged();
        application->ShowMessage(std::to_string(kErrAutomation) + "\r\n" + e.what());
    }
}

void Connect::DeleteBar() {
    if (!application) return;
    if (application->commandBars.Find(kBarName)) application->commandBars.Delete(kBarName);
}

void Connect::BindControls(CommandBar& bar) {
    for (int i = 1; i <= 6; ++i) BindControl(i, bar.Control(i));
}

void Connect::BindControl(int index, CommandBarControl& control) {
    using Handler = void (Connect::*)(CommandBarControl&, bool&);
    struct Binding {
        CommandBarControl* Connect::*member;
        Handler handler;
    };
    static constexpr Binding kBindings[] = {
        {&Connect::cbbButton, &Connect::cbbButton_Click},
        {&Connect::cbbBox, &Connect::cbbBox_Click},
        {&Connect::cbbLine, &Connect::cbbLine_Click},
        {&Connect::cbbZuwen, &Connect::cbbZuwen_Click},
        {&Connect::cbbHebing, &Connect::cbbHebing_Click},
        {&Connect::cbbGrid, &Connect::cbbGrid_Click},
    };
    const Binding& b = kBindings[index - 1];
    this->*b.member = &control;
    std::weak_ptr<Connect*> owner = self_;
    control.onClick = [owner, handler = b.handler, &control](bool& cancelDefault) {
        if (auto self = owner.lock()) ((*self)->*handler)(control, cancelDefault);
    };
}

// Detaches this add-in from the host: the click handlers on its buttons.
// Only controls still present in the host are touched, so a bar removed by someone else is
// never reached through a stale pointer.
void Connect::Unbind() {
    if (!application) return;
    const CommandBarControl* mine[] = {cbbButton, cbbBox, cbbLine, cbbZuwen, cbbHebing, cbbGrid};
    for (auto& bar : application->commandBars.All())
        for (auto& control : bar->controls)
            for (const CommandBarControl* m : mine)
                if (control.get() == m) control->onClick = nullptr;
}

void Connect::RunTool(const ToolHandler& tool, bool& cancelDefault) {
    if (tool && application) tool(*application, cancelDefault);
}

void Connect::cbbButton_Click(CommandBarControl&, bool&) {
    if (showSettings && application) showSettings(*application);
}

void Connect::cbbBox_Click(CommandBarControl&, bool& cancelDefault) {
    RunTool(boxTool, cancelDefault);
}
void Connect::cbbLine_Click(CommandBarControl&, bool& cancelDefault) {
    RunTool(lineTool, cancelDefault);
}
void Connect::cbbZuwen_Click(CommandBarControl&, bool& cancelDefault) {
    RunTool(zuwenTool, cancelDefault);
}
void Connect::cbbHebing_Click(CommandBarControl&, bool& cancelDefault) {
    RunTool(hebingTool, cancelDefault);
}
void Connect::cbbGrid_Click(CommandBarControl&, bool& cancelDefault) {
    RunTool(gridTool, cancelDefault);
}

}  // namespace varelo::host
