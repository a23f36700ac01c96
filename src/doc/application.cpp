#include "doc/application.h"

#include <algorithm>

#include "doc/errors.h"

namespace varelo::host {

Application::Application() = default;

Document& Application::Documents(int index) {
    if (index < 1 || index > DocumentCount())
        throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
    return *documents_[static_cast<size_t>(index - 1)];
}

Document& Application::AddDocument() {
    documents_.push_back(std::make_unique<Document>());
    Document& doc = *documents_.back();
    doc.name = "文档" + std::to_string(nextNumber_++);
    active_ = &doc;
    selection.Clear();
    if (documentsChanged) documentsChanged();
    return doc;
}

Document& Application::AdoptDocument(std::unique_ptr<Document> doc) {
    if (!doc) throw HostError(kErrInvalidArgument, "Invalid procedure call or argument");
    documents_.push_back(std::move(doc));
    Document& added = *documents_.back();
    if (added.name.empty()) added.name = "文档" + std::to_string(nextNumber_++);
    active_ = &added;
    selection.Clear();
    if (documentsChanged) documentsChanged();
    return added;
}

bool Application::CloseDocument(Document& doc) {
    bool cancel = false;
    // Handlers may be added while others run; index rather than iterate.
    for (size_t i = 0; i < documentBeforeClose.size(); ++i)
        if (documentBeforeClose[i]) documentBeforeClose[i](doc, cancel);
    if (cancel) return false;
    if (!doc.saved && askToSave && askToSave(doc) == SaveChoice::Cancel) return false;
    auto it = std::find_if(documents_.begin(), documents_.end(),
                           [&](const auto& d) { return d.get() == &doc; });
    if (it == documents_.end()) return true;
    if (selection.InTable()) selection.Clear();
    const bool wasActive = active_ == &doc;
    documents_.erase(it);
    if (wasActive) active_ = documents_.empty() ? nullptr : documents_.back().get();
    if (documentsChanged) documentsChanged();
    return true;
}

bool Application::CloseAllDocuments() {
    bool all = true;
    std::vector<Document*> open;
    for (auto& d : documents_) open.push_back(d.get());
    for (Document* d : open) all = CloseDocument(*d) && all;
    return all;
}

Document* Application::ActiveDocument() {
    return active_;
}

void Application::Activate(Document& doc) {
    active_ = &doc;
    selection.Clear();
    if (documentsChanged) documentsChanged();
}

void Application::ShowMessage(const std::string& text) {
    messages.push_back(text);
    if (messageSink) messageSink(text);
}

void Application::Notice(const std::string& text) {
    notices.push_back(text);
    if (noticeSink) noticeSink(text);
}

}  // namespace varelo::host
