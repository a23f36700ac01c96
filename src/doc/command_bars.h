#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace varelo::host {

inline constexpr int kControlButton = 1;         // msoControlButton
inline constexpr int kButtonCaption = 2;         // msoButtonCaption
inline constexpr int kButtonIconAndCaption = 3;  // msoButtonIconAndCaption
inline constexpr int kBarTop = 1;                // msoBarTop

// A picture loaded from a bitmap file: its bytes, kept for whoever shows the bar.
struct Picture {
    std::string path;
    std::string bytes;
    bool Empty() const { return bytes.empty(); }
};

// Loads a bitmap file as a picture; throws HostError 53 "File not found" when it cannot be read.
Picture LoadPicture(const std::string& path);

struct CommandBarControl {
    int type = kControlButton;
    std::string parameter, caption, tooltipText;
    int style = 0;
    int width = 0;  // 0: not set
    bool beginGroup = false;
    bool enabled = true;
    Picture picture, mask;
    // The button's Click event; the handler receives the host's cancel-default flag.
    std::function<void(bool& cancelDefault)> onClick;

    void Click();  // runs onClick when enabled
};

struct CommandBar {
    std::string name;
    int position = 0;
    bool temporary = false;
    bool visible = false;
    std::vector<std::unique_ptr<CommandBarControl>> controls;

    CommandBarControl& AddControl(int type);
    // Controls(i), 1-based; throws HostError when missing.
    CommandBarControl& Control(int index);
};

// The host's command bars. Observers hear about every change, so a window can mirror them.
class CommandBars {
  public:
    CommandBar& Add(const std::string& name, bool temporary);
    int Count() const { return static_cast<int>(bars_.size()); }
    CommandBar& Item(int index);  // 1-based
    // CommandBars("name"): the first bar of that name; throws HostError when none.
    CommandBar& Named(const std::string& name);
    CommandBar* Find(const std::string& name);
    void Delete(const std::string& name);  // throws HostError when none
    std::vector<std::unique_ptr<CommandBar>>& All() { return bars_; }

    // Called after handlers change bars or controls.
    void NotifyChanged();
    std::vector<std::function<void()>> observers;

  private:
    std::vector<std::unique_ptr<CommandBar>> bars_;
};

}  // namespace varelo::host
