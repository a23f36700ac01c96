#include "settings/sheet_settings_part.h"

#include <algorithm>
#include <array>
#include <pugixml.hpp>

#include "host/xml_text.h"
#include "settings/form_handlers.h"

namespace varelo::settings {

namespace {

using layout::QuestionGrid;

// The entry's option button by its index, as the list rows name the type.
constexpr std::array<const char*, 3> kOptionTypes = {"字母", "数字", "判断"};

// The list's columns as attributes of a group element, in column order.
constexpr std::array<const char*, 6> kGroupAttributes = {"number",  "name", "items",
                                                         "options", "type", "points"};

// More groups than any sheet can hold; a part claiming more is not a sheet's.
constexpr int kMaxGroups = 4096;

constexpr const char* kRoot = "sheetSettings";

// The dialog's text fields, by element name.
struct TextField {
    const char* element;
    std::string layout::SheetForm::*field;
};
constexpr std::array<TextField, 5> kTextFields = {{
    {"paper", &layout::SheetForm::cmbPage},
    {"title", &layout::SheetForm::txtTitle},
    {"subtitle", &layout::SheetForm::txtVice_Title},
    {"setter", &layout::SheetForm::txtName},
    {"digits", &layout::SheetForm::txtExam_NO},
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

// Text a form field may hold: the part is XML, so it is already free of what XML forbids.
void ReadEntry(pugi::xml_node entry, layout::SheetForm& form) {
    if (const auto a = Attribute(entry, "name")) form.txtQuestion = a.value();
    if (const auto a = Attribute(entry, "items")) form.txtQ_Count = a.value();
    if (const auto a = Attribute(entry, "points")) form.txtXiaofen = a.value();
    if (const auto a = Attribute(entry, "options")) form.txtO_Count = a.value();
    if (const auto a = Attribute(entry, "fixedOptions")) form.chkO_Count = a.as_bool();
    form.txtO_CountEnabled = form.chkO_Count;
    if (const auto a = Attribute(entry, "type")) {
        const auto it =
            std::find(kOptionTypes.begin(), kOptionTypes.end(), std::string_view(a.value()));
        if (it != kOptionTypes.end()) form.optOption = static_cast<int>(it - kOptionTypes.begin());
    }
}

layout::SheetForm FormFromXml(pugi::xml_node root) {
    if (!IsSheetSettings(root))
        throw SheetSettingsError("The part does not hold a sheet's settings.");
    if (Attribute(root, "version").as_int(0) != kSheetSettingsVersion)
        throw SheetSettingsError("The sheet's settings are of version \"" +
                                 std::string(Attribute(root, "version").value()) +
                                 "\", which this program cannot read.");

    layout::SheetForm form;
    Form_Load(form);
    for (const TextField& f : kTextFields)
        ForEachChild(root, f.element,
                     [&](pugi::xml_node e) { form.*f.field = e.text().as_string(); });
    ForEachChild(root, "groupEntry", [&](pugi::xml_node e) { ReadEntry(e, form); });
    ForEachChild(root, "objective", [&](pugi::xml_node objective) {
        ForEachChild(objective, "group", [&](pugi::xml_node group) {
            if (form.mfgQuestion.Rows() > kMaxGroups)
                throw SheetSettingsError("The sheet's settings list more than " +
                                         std::to_string(kMaxGroups) + " question groups.");
            QuestionGrid::Row row;
            for (size_t c = 0; c < row.size(); ++c)
                row[c] = Attribute(group, kGroupAttributes[c]).value();
            form.mfgQuestion.AddRow(std::move(row));
        });
    });
    return form;
}

}  // namespace

std::string SheetSettingsXml(const layout::SheetForm& form) {
    pugi::xml_document xml;
    pugi::xml_node decl = xml.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    decl.append_attribute("standalone") = "yes";
    pugi::xml_node root = xml.append_child(kRoot);
    root.append_attribute("xmlns") = kSheetSettingsNamespace;
    root.append_attribute("version") = kSheetSettingsVersion;
    for (const TextField& f : kTextFields)
        root.append_child(f.element).text() = host::XmlSafeText(form.*f.field).c_str();

    pugi::xml_node entry = root.append_child("groupEntry");
    entry.append_attribute("name") = host::XmlSafeText(form.txtQuestion).c_str();
    entry.append_attribute("items") = host::XmlSafeText(form.txtQ_Count).c_str();
    entry.append_attribute("options") = host::XmlSafeText(form.txtO_Count).c_str();
    entry.append_attribute("fixedOptions") = form.chkO_Count;
    const size_t type = static_cast<size_t>(form.optOption);
    entry.append_attribute("type") = type < kOptionTypes.size() ? kOptionTypes[type] : "";
    entry.append_attribute("points") = host::XmlSafeText(form.txtXiaofen).c_str();

    pugi::xml_node objective = root.append_child("objective");
    for (const QuestionGrid::Row& row : form.mfgQuestion.Groups()) {
        pugi::xml_node group = objective.append_child("group");
        for (size_t c = 0; c < row.size(); ++c)
            group.append_attribute(kGroupAttributes[c]) = host::XmlSafeText(row[c]).c_str();
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

layout::SheetForm ParseSheetSettings(std::string_view text) {
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed =
        xml.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!parsed)
        throw SheetSettingsError(std::string("The sheet's settings are not well-formed XML (") +
                                 parsed.description() + ").");
    return FormFromXml(xml.document_element());
}

void AttachSheetSettings(host::Document& doc, const layout::SheetForm& form) {
    host::CustomXmlPart part{SheetSettingsXml(form), kSheetSettingsItemId, kSheetSettingsNamespace};
    for (host::CustomXmlPart& existing : doc.customXml) {
        if (existing.schemaUri == kSheetSettingsNamespace ||
            existing.itemId == kSheetSettingsItemId) {
            existing = std::move(part);
            return;
        }
    }
    doc.customXml.push_back(std::move(part));
}

std::optional<layout::SheetForm> SheetSettingsOf(const host::Document& doc) {
    for (const host::CustomXmlPart& part : doc.customXml) {
        pugi::xml_document xml;
        const bool wellFormed = xml.load_buffer(part.xml.data(), part.xml.size(),
                                                pugi::parse_default | pugi::parse_ws_pcdata);
        if (wellFormed && IsSheetSettings(xml.document_element()))
            return FormFromXml(xml.document_element());
        // Declared as ours but unreadable: say so rather than pass it over.
        if (part.schemaUri == kSheetSettingsNamespace) return ParseSheetSettings(part.xml);
    }
    return std::nullopt;
}

}  // namespace varelo::settings
