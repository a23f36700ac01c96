#include "doc/command_bars.h"

#include <fstream>
#include <sstream>

#include "doc/errors.h"

namespace varelo::host {

Picture LoadPicture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    if (!in || bytes.str().size() < 2 || bytes.str().compare(0, 2, "BM") != 0)
        throw HostError(kErrFileNotFound, "File not found: " + path);
    return Picture{path, bytes.str()};
}

void CommandBarControl::Click() {
    if (!enabled || !onClick) return;
    bool cancelDefault = false;
    onClick(cancelDefault);
}

CommandBarControl& CommandBar::AddControl(int type) {
    controls.push_back(std::make_unique<CommandBarControl>());
    controls.back()->type = type;
    return *controls.back();
}

CommandBarControl& CommandBar::Control(int index) {
    if (index < 1 || index > static_cast<int>(controls.size()))
        throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
    return *controls[static_cast<size_t>(index - 1)];
}

CommandBar& CommandBars::Add(const std::string& name, bool temporary) {
    bars_.push_back(std::make_unique<CommandBar>());
    bars_.back()->name = name;
    bars_.back()->temporary = temporary;
    NotifyChanged();
    return *bars_.back();
}

CommandBar& CommandBars::Item(int index) {
    if (index < 1 || index > Count())
        throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
    return *bars_[static_cast<size_t>(index - 1)];
}

CommandBar* CommandBars::Find(const std::string& name) {
    for (auto& b : bars_)
        if (b->name == name) return b.get();
    return nullptr;
}

CommandBar& CommandBars::Named(const std::string& name) {
    if (CommandBar* b = Find(name)) return *b;
    throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
}

void CommandBars::Delete(const std::string& name) {
    for (auto it = bars_.begin(); it != bars_.end(); ++it)
        if ((*it)->name == name) {
            bars_.erase(it);
            NotifyChanged();
            return;
        }
    throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
}

void CommandBars::NotifyChanged() {
    for (auto& f : observers)
        if (f) f();
}

}  // namespace varelo::host
