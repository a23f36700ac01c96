#include "compose/sheet_settings_part.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <pugixml.hpp>

#include "base/numbers.h"
#include "base/xml_text.h"
#include "codes/page_code.h"

namespace varelo::settings {

namespace {

// The entry's option button by its index, as the list rows name the type.
constexpr std::array<const char*, 3> kOptionTypes = {"字母", "数字", "判断"};

// The list's columns as attributes of a group element, in column order.
constexpr std::array<const char*, 6> kGroupAttributes = {"number",  "name", "items",
                                                         "options", "type", "points"};

// More groups than any sheet can hold; a part claiming more is not a sheet's.
constexpr int kMaxGroups = 4096;

constexpr const char* kRoot = "sheetSettings";

// A section's counts as attributes; which of them a kind writes.
struct SectionCount {
    const char* attribute;
    int exam::WrittenSection::*field;
    bool fill, answer, essay;
};
constexpr std::array<SectionCount, 4> kSectionCounts = {{
    {"items", &exam::WrittenSection::items, true, true, false},
    {"blanks", &exam::WrittenSection::blanks, true, false, false},
    {"rows", &exam::WrittenSection::rows, false, true, false},
    {"chars", &exam::WrittenSection::chars, false, false, true},
}};

bool KindHasCount(exam::SectionKind kind, const SectionCount& c) {
    switch (kind) {
        case exam::SectionKind::Fill:
            return c.fill;
        case exam::SectionKind::Answer:
            return c.answer;
        case exam::SectionKind::Essay:
            return c.essay;
    }
    return false;
}

// No sheet prints a count beyond a 16-bit one; larger claims are not a sheet's.
constexpr int kMaxSectionCount = INT16_MAX;
constexpr int kMaxSections = 4096;

// The section kinds the part knows, by their names.
constexpr std::array<exam::SectionKind, 3> kSectionKinds = {
    exam::SectionKind::Fill, exam::SectionKind::Answer, exam::SectionKind::Essay};

// The exam's texts, by element name.
struct TextField {
    const char* element;
    std::string exam::ExamDraft::*field;
};
constexpr std::array<TextField, 5> kTextFields = {{
    {"paper", &exam::ExamDraft::layout},
    {"title", &exam::ExamDraft::title},
    {"subtitle", &exam::ExamDraft::subtitle},
    {"setter", &exam::ExamDraft::setter},
    {"digits", &exam::ExamDraft::digits},
}};

std::string_view LocalName(std::string_view qualified) {
    const size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// The namespace the element's own name is in, looked up through its ancestors.
std::string_view NamespaceOf(pugi::xml_node element) {
    const std::string_view name = element.name();
    const size_t colon = name.find(':');
    const std::string attr =
        colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
    for (pugi::xml_node n = element; n; n = n.parent())
        if (const pugi::xml_attribute a = n.attribute(attr.c_str())) return a.value();
    return {};
}

bool IsSheetSettings(pugi::xml_node root) {
    return LocalName(root.name()) == kRoot && NamespaceOf(root) == kSheetSettingsNamespace;
}

// Children are matched by local name: the part is in one namespace of its own.
template <typename F>
void ForEachChild(pugi::xml_node parent, std::string_view name, F f) {
    for (pugi::xml_node c : parent.children())
        if (c.type() == pugi::node_element && LocalName(c.name()) == name) f(c);
}

pugi::xml_attribute Attribute(pugi::xml_node element, std::string_view name) {
    for (pugi::xml_attribute a : element.attributes())
        if (LocalName(a.name()) == name) return a;
    return {};
}

// Text an entry field may hold: the part is XML, so it is already free of what XML forbids.
void ReadEntry(pugi::xml_node element, exam::GroupEntry& entry) {
    if (const auto a = Attribute(element, "name")) entry.name = a.value();
    if (const auto a = Attribute(element, "items")) entry.items = a.value();
    if (const auto a = Attribute(element, "points")) entry.points = a.value();
    if (const auto a = Attribute(element, "options")) entry.options = a.value();
    if (const auto a = Attribute(element, "fixedOptions")) entry.fixedOptions = a.as_bool();
    if (const auto a = Attribute(element, "type")) {
        const auto it =
            std::find(kOptionTypes.begin(), kOptionTypes.end(), std::string_view(a.value()));
        if (it != kOptionTypes.end()) entry.labels = static_cast<int>(it - kOptionTypes.begin());
    }
}

std::string SectionLabel(size_t index, const exam::WrittenSection& s) {
    return "Written section " + std::to_string(index + 1) + " (\"" + s.name + "\")";
}

// One section element: its kind is required, since every other value means something only
// for a kind; a count or points left out takes the section's default, and a value that no
// sheet can hold is refused rather than handed to the layout.
exam::WrittenSection ReadSection(pugi::xml_node element, size_t index) {
    exam::WrittenSection s;
    const std::string_view kind = Attribute(element, "kind").value();
    const auto known =
        std::find_if(kSectionKinds.begin(), kSectionKinds.end(),
                     [&](exam::SectionKind k) { return kind == exam::SectionKindName(k); });
    if (known == kSectionKinds.end())
        throw SheetSettingsError("Written section " + std::to_string(index + 1) +
                                 " has the kind \"" + std::string(kind) +
                                 "\"; it must be 填空, 解答 or 作文.");
    s.kind = *known;
    if (const auto a = Attribute(element, "name")) s.name = a.value();
    if (s.kind == exam::SectionKind::Essay) s.chars = 1;
    for (const SectionCount& c : kSectionCounts) {
        const pugi::xml_attribute a = Attribute(element, c.attribute);
        if (!a || !KindHasCount(s.kind, c)) continue;
        const std::string_view text = a.value();
        int n = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (error != std::errc{} || end != text.data() + text.size() || n < 1 ||
            n > kMaxSectionCount)
            throw SheetSettingsError(SectionLabel(index, s) + " has " + c.attribute + "=\"" +
                                     std::string(text) +
                                     "\"; it must be a whole number from 1 to " +
                                     std::to_string(kMaxSectionCount) + ".");
        s.*c.field = n;
    }
    if (const pugi::xml_attribute a = Attribute(element, "points")) {
        const std::optional<double> points = host::ParseNumber(a.value());
        if (!points || !std::isfinite(*points) || *points < 0)
            throw SheetSettingsError(SectionLabel(index, s) + " has points=\"" + a.value() +
                                     "\"; it must be a number not below 0.");
        s.points = *points;
    }
    return s;
}

SavedSettings SettingsFromXml(pugi::xml_node root) {
    if (!IsSheetSettings(root))
        throw SheetSettingsError("The part does not hold a sheet's settings.");
    if (Attribute(root, "version").as_int(0) != kSheetSettingsVersion)
        throw SheetSettingsError("The sheet's settings are of version \"" +
                                 std::string(Attribute(root, "version").value()) +
                                 "\", which this program cannot read.");

    SavedSettings saved;
    exam::ExamDraft& draft = saved.draft;
    for (const TextField& f : kTextFields)
        ForEachChild(root, f.element,
                     [&](pugi::xml_node e) { draft.*f.field = e.text().as_string(); });
    ForEachChild(root, "groupEntry", [&](pugi::xml_node e) { ReadEntry(e, saved.entry); });
    ForEachChild(root, "pageCode", [&](pugi::xml_node e) {
        const std::string_view choice = e.text().as_string();
        for (const exam::PageCodeChoice c : {exam::PageCodeChoice::On, exam::PageCodeChoice::Off})
            if (choice == exam::PageCodeChoiceName(c)) draft.pageCode = c;
    });
    ForEachChild(root, "examId", [&](pugi::xml_node e) {
        const std::string id = e.text().as_string();
        if (!codes::IsExamId(id))
            throw SheetSettingsError("The sheet's exam id \"" + id +
                                     "\" is not 16 hexadecimal digits.");
        draft.examId = id;
    });
    ForEachChild(root, "objective", [&](pugi::xml_node objective) {
        ForEachChild(objective, "group", [&](pugi::xml_node group) {
            if (draft.groups.size() >= static_cast<size_t>(kMaxGroups))
                throw SheetSettingsError("The sheet's settings list more than " +
                                         std::to_string(kMaxGroups) + " question groups.");
            exam::GroupDraft& g = draft.groups.emplace_back();
            const std::array<std::string*, 6> texts = {&g.number,  &g.name,   &g.items,
                                                       &g.options, &g.labels, &g.points};
            for (size_t c = 0; c < texts.size(); ++c)
                *texts[c] = Attribute(group, kGroupAttributes[c]).value();
        });
    });
    ForEachChild(root, "marks", [&](pugi::xml_node marks) {
        draft.marks.absent = Attribute(marks, "absent").as_bool(false);
        draft.marks.paperTypes = Attribute(marks, "paperTypes").value();
    });
    ForEachChild(root, "sections", [&](pugi::xml_node sections) {
        ForEachChild(sections, "section", [&](pugi::xml_node section) {
            if (draft.sections.size() >= kMaxSections)
                throw SheetSettingsError("The sheet's settings list more than " +
                                         std::to_string(kMaxSections) + " written sections.");
            draft.sections.push_back(ReadSection(section, draft.sections.size()));
        });
    });
    return saved;
}

// Shortest text that reads back as the same number, so points survive a reopening exactly.
std::string PointsText(double points) {
    std::array<char, 32> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), points).ptr;
    return std::string(buffer.data(), end);
}

}  // namespace

std::string SheetSettingsXml(const exam::Exam& exam, const exam::GroupEntry& entry) {
    pugi::xml_document xml;
    pugi::xml_node decl = xml.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    decl.append_attribute("standalone") = "yes";
    pugi::xml_node root = xml.append_child(kRoot);
    root.append_attribute("xmlns") = kSheetSettingsNamespace;
    root.append_attribute("version") = kSheetSettingsVersion;
    // The texts as typed, in the order the dialog's fields have always been written.
    const exam::ExamDraft draft = exam::DraftOf(exam);
    for (const auto& [element, text] : {std::pair{"paper", &draft.layout},
                                        {"title", &draft.title},
                                        {"subtitle", &draft.subtitle},
                                        {"setter", &draft.setter},
                                        {"digits", &draft.digits}})
        root.append_child(element).text() = host::XmlSafeText(*text).c_str();

    pugi::xml_node e = root.append_child("groupEntry");
    e.append_attribute("name") = host::XmlSafeText(entry.name).c_str();
    e.append_attribute("items") = host::XmlSafeText(entry.items).c_str();
    e.append_attribute("options") = host::XmlSafeText(entry.options).c_str();
    e.append_attribute("fixedOptions") = entry.fixedOptions;
    const size_t type = static_cast<size_t>(entry.labels);
    e.append_attribute("type") = type < kOptionTypes.size() ? kOptionTypes[type] : "";
    e.append_attribute("points") = host::XmlSafeText(entry.points).c_str();

    pugi::xml_node objective = root.append_child("objective");
    for (const exam::GroupDraft& g : draft.groups) {
        pugi::xml_node group = objective.append_child("group");
        const std::array<const std::string*, 6> texts = {&g.number,  &g.name,   &g.items,
                                                         &g.options, &g.labels, &g.points};
        for (size_t c = 0; c < texts.size(); ++c)
            group.append_attribute(kGroupAttributes[c]) = host::XmlSafeText(*texts[c]).c_str();
    }
    // Left out unless chosen or printed, so a sheet without codes keeps the settings it always
    // had.
    if (exam.pageCode != exam::PageCodeChoice::ByContent)
        root.append_child("pageCode").text() = exam::PageCodeChoiceName(exam.pageCode);
    if (!exam.examId.empty()) root.append_child("examId").text() = exam.examId.c_str();
    // Left out when empty, so a sheet without sections keeps the settings it always had.
    if (!exam.sections.empty()) {
        pugi::xml_node sections = root.append_child("sections");
        for (const exam::WrittenSection& s : exam.sections) {
            pugi::xml_node section = sections.append_child("section");
            section.append_attribute("kind") = exam::SectionKindName(s.kind);
            section.append_attribute("name") = host::XmlSafeText(s.name).c_str();
            for (const SectionCount& c : kSectionCounts)
                if (KindHasCount(s.kind, c)) section.append_attribute(c.attribute) = s.*c.field;
            section.append_attribute("points") = PointsText(s.points).c_str();
        }
    }

    // Likewise the marks: a sheet without them records nothing of them.
    if (exam.marks != exam::SheetMarks{}) {
        pugi::xml_node marks = root.append_child("marks");
        if (exam.marks.absent) marks.append_attribute("absent") = true;
        if (!exam.marks.paperTypes.empty())
            marks.append_attribute("paperTypes") = exam.marks.paperTypes.c_str();
    }

    struct Sink : pugi::xml_writer {
        std::string out;
        void write(const void* data, size_t size) override {
            out.append(static_cast<const char*>(data), size);
        }
    } sink;
    xml.save(sink, "", pugi::format_raw, pugi::encoding_utf8);
    return sink.out;
}

SavedSettings ParseSheetSettings(std::string_view text) {
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed =
        xml.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!parsed)
        throw SheetSettingsError(std::string("The sheet's settings are not well-formed XML (") +
                                 parsed.description() + ").");
    return SettingsFromXml(xml.document_element());
}

void AttachSheetSettings(host::Document& doc, const exam::Exam& exam,
                         const exam::GroupEntry& entry) {
    host::CustomXmlPart part{SheetSettingsXml(exam, entry), kSheetSettingsItemId,
                             kSheetSettingsNamespace};
    for (host::CustomXmlPart& existing : doc.customXml) {
        if (existing.schemaUri == kSheetSettingsNamespace ||
            existing.itemId == kSheetSettingsItemId) {
            existing = std::move(part);
            return;
        }
    }
    doc.customXml.push_back(std::move(part));
}

std::optional<SavedSettings> SheetSettingsOf(const host::Document& doc) {
    for (const host::CustomXmlPart& part : doc.customXml) {
        pugi::xml_document xml;
        const bool wellFormed = xml.load_buffer(part.xml.data(), part.xml.size(),
                                                pugi::parse_default | pugi::parse_ws_pcdata);
        if (wellFormed && IsSheetSettings(xml.document_element()))
            return SettingsFromXml(xml.document_element());
        // Declared as ours but unreadable: say so rather than pass it over.
        if (part.schemaUri == kSheetSettingsNamespace) return ParseSheetSettings(part.xml);
    }
    return std::nullopt;
}

}  // namespace varelo::settings
