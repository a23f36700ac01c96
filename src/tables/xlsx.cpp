// The first visible worksheet of an .xlsx workbook: the package's parts found through their
// relationships, cells as the workbook stores them (shared strings, inline strings, numbers
// and formula results as their text, booleans), placed by their references.
#include <zip.h>

#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>

#include "base/printable.h"
#include "base/utf8.h"
#include "tables/formats.h"

namespace varelo::tables::detail {

namespace {

// Excel writes no prefixes; other writers (the Open XML SDK's x:) do.
std::string_view LocalName(const char* name) {
    const std::string_view s(name);
    const size_t colon = s.rfind(':');
    return colon == std::string_view::npos ? s : s.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && LocalName(c.name()) == name) return c;
    return {};
}

pugi::xml_node Next(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_node c = node.next_sibling(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && LocalName(c.name()) == name) return c;
    return {};
}

// A relationship id is r:id, whatever the prefix.
std::string_view RelationshipId(pugi::xml_node node) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        if (name.find(':') != std::string_view::npos && LocalName(a.name()) == "id")
            return a.value();
    }
    return {};
}

// Text of an element, its CDATA included.
void AppendText(pugi::xml_node node, std::string& out) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) out += c.value();
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Excel writes characters XML cannot hold (a carriage return in a cell, say) as _xHHHH_, and
// an underscore that would look like one as _x005F_.
std::string Unescaped(std::string text) {
    if (text.find("_x") == std::string::npos) return text;
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '_' && i + 7 <= text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            char32_t cp = 0;
            bool hex = true;
            for (size_t k = 2; k < 6 && hex; ++k) {
                const char c = text[i + k];
                const int d = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
                hex = d >= 0;
                cp = cp * 16 + static_cast<char32_t>(d);
            }
            if (hex && (cp < 0xD800 || cp > 0xDFFF)) {
                AppendUtf8(cp, out);
                i += 7;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

// A shared or inline string: its text, or its rich-text runs joined (phonetic runs left out).
std::string StringItem(pugi::xml_node item) {
    std::string text;
    for (pugi::xml_node c = item.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        const std::string_view name = LocalName(c.name());
        if (name == "t") AppendText(c, text);
        if (name == "r") AppendText(Child(c, "t"), text);
    }
    return Unescaped(std::move(text));
}

std::optional<size_t> Digits(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    size_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    return value;
}

// The column of a cell reference ("C7" → 3).
std::optional<size_t> ColumnOf(std::string_view reference) {
    size_t column = 0, i = 0;
    for (; i < reference.size() && i < 4; ++i) {
        const char c = reference[i];
        if (c >= 'A' && c <= 'Z')
            column = column * 26 + static_cast<size_t>(c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            column = column * 26 + static_cast<size_t>(c - 'a' + 1);
        else
            break;
    }
    if (column == 0 || i > 3 || (i < reference.size() && !Digits(reference.substr(i))))
        return std::nullopt;
    return column;
}

std::string Directory(std::string_view part) {
    const size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A relationship's target, relative to the part that names it, as a part name.
std::string Resolve(std::string_view source, std::string_view target) {
    std::string path = target.starts_with('/') ? std::string(target.substr(1))
                                               : Directory(source) + std::string(target);
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& s : segments) out += (out.empty() ? "" : "/") + s;
    return out;
}

struct Xml {
    std::string bytes;  // parsed in place
    pugi::xml_document doc;
};

class Package {
  public:
    Package(std::string_view bytes, const std::string& file) : file_(file) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (src) archive_ = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (!archive_) {
            if (src) zip_source_free(src);
            const std::string reason = zip_error_strerror(&error);
            zip_error_fini(&error);
            throw TableError(file, 0, 0,
                             "the file is not an .xlsx workbook that can be read (" + reason + ")");
        }
    }
    ~Package() { zip_discard(archive_); }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    [[noreturn]] void Damaged(const std::string& part, const std::string& reason) const {
        throw TableError(file_, 0, 0, "the workbook is damaged: its part " + part + " " + reason);
    }

    // A part's bytes, or nothing when the package has no such part. Its size is taken from
    // the zip's directory and checked against what it unpacks to: a zip bomb is refused
    // before it is unpacked.
    std::optional<std::string> Read(const std::string& name) const {
        const zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
        if (index < 0) return std::nullopt;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_SIZE))
            Damaged(name, "cannot be read");
        if (st.size > kMaxXlsxPartBytes)
            throw TableError(file_, 0, 0,
                             "its part " + name + " unpacks to more than " +
                                 std::to_string(kMaxXlsxPartBytes >> 20) +
                                 " MB, more than a table Varelo reads");
        const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> f(
            zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0), zip_fclose);
        if (!f) Damaged(name, "cannot be unpacked (" + std::string(zip_strerror(archive_)) + ")");
        std::string data(static_cast<size_t>(st.size), '\0');
        size_t got = 0;
        while (got < data.size()) {
            const zip_int64_t n = zip_fread(f.get(), data.data() + got, data.size() - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        // Reading on to the end is what makes libzip check the crc.
        char extra;
        if (got != data.size() || zip_fread(f.get(), &extra, 1) != 0)
            Damaged(name, "does not unpack to the size its entry declares");
        return data;
    }

    std::optional<Xml> Parse(const std::string& name) const {
        std::optional<std::string> bytes = Read(name);
        if (!bytes) return std::nullopt;
        std::optional<Xml> xml(std::in_place);
        xml->bytes = std::move(*bytes);
        // Blanks alone in an element are text (a cell of spaces); between elements, layout.
        const pugi::xml_parse_result r =
            xml->doc.load_buffer_inplace(xml->bytes.data(), xml->bytes.size(),
                                         pugi::parse_default | pugi::parse_ws_pcdata_single);
        if (!r) Damaged(name, std::string("is not well-formed XML (") + r.description() + ")");
        return xml;
    }

    // The parts a part's relationships point at, by id; types by id in types.
    std::map<std::string, std::string> Relationships(
        const std::string& part, std::map<std::string, std::string>* types = nullptr) const {
        std::map<std::string, std::string> targets;
        const std::string dir = Directory(part);
        const std::string name = dir + "_rels/" + part.substr(dir.size()) + ".rels";
        const std::optional<Xml> rels = Parse(name);
        if (!rels) return targets;
        const pugi::xml_node root = rels->doc.document_element();
        for (pugi::xml_node r = Child(root, "Relationship"); r; r = Next(r, "Relationship")) {
            if (std::string_view(r.attribute("TargetMode").value()) == "External") continue;
            const std::string id = r.attribute("Id").value();
            targets[id] = Resolve(part, r.attribute("Target").value());
            if (types) (*types)[id] = r.attribute("Type").value();
        }
        return targets;
    }

  private:
    const std::string& file_;
    zip_t* archive_ = nullptr;
};

// The part of the relationship of the given type ("…/officeDocument"), or empty.
std::string OfType(const std::map<std::string, std::string>& targets,
                   const std::map<std::string, std::string>& types, std::string_view type) {
    for (const auto& [id, t] : types)
        if (t.ends_with(type)) return targets.at(id);
    return {};
}

}  // namespace

std::vector<Row> ReadXlsx(std::string_view bytes, const std::string& file) {
    const Package package(bytes, file);

    std::map<std::string, std::string> types;
    const auto roots = package.Relationships("", &types);
    std::string workbookPart = OfType(roots, types, "/officeDocument");
    if (workbookPart.empty()) workbookPart = "xl/workbook.xml";
    const std::optional<Xml> workbook = package.Parse(workbookPart);
    if (!workbook) {
        const std::optional<std::string> mimetype = package.Read("mimetype");
        if (mimetype && mimetype->find("opendocument.spreadsheet") != std::string::npos)
            throw TableError(file, 0, 0,
                             "an OpenDocument spreadsheet (.ods) cannot be read: save it as .xlsx "
                             "or as CSV");
        throw TableError(file, 0, 0, "the file is a zip package, not an Excel workbook (.xlsx)");
    }

    types.clear();
    const auto targets = package.Relationships(workbookPart, &types);
    std::string sheetPart;
    const pugi::xml_node sheets = Child(workbook->doc.document_element(), "sheets");
    for (pugi::xml_node s = Child(sheets, "sheet"); s && sheetPart.empty(); s = Next(s, "sheet")) {
        const std::string_view state = s.attribute("state").value();
        const std::string id(RelationshipId(s));
        // A hidden sheet is no tab of the workbook the teacher sees; a chart is no table.
        const auto type = types.find(id);
        if (state == "hidden" || state == "veryHidden" || type == types.end() ||
            !type->second.ends_with("/worksheet"))
            continue;
        sheetPart = targets.at(id);
    }
    if (sheetPart.empty()) throw TableError(file, 0, 0, "the workbook has no worksheet");

    std::vector<std::string> shared;
    if (const std::string part = OfType(targets, types, "/sharedStrings"); !part.empty()) {
        if (const std::optional<Xml> strings = package.Parse(part)) {
            const pugi::xml_node root = strings->doc.document_element();
            for (pugi::xml_node si = Child(root, "si"); si; si = Next(si, "si")) {
                if (shared.size() == kMaxCells)
                    throw TableError(file, 0, 0,
                                     "the workbook has more than " + std::to_string(kMaxCells) +
                                         " shared strings");
                shared.push_back(StringItem(si));
            }
        }
    }

    const std::optional<Xml> sheet = package.Parse(sheetPart);
    if (!sheet) throw TableError(file, 0, 0, "the workbook's first worksheet is missing");
    std::vector<Row> rows;
    Budget budget(file);
    size_t lastRow = 0;
    const pugi::xml_node data = Child(sheet->doc.document_element(), "sheetData");
    for (pugi::xml_node r = Child(data, "row"); r; r = Next(r, "row")) {
        size_t number = lastRow + 1;
        if (const pugi::xml_attribute a = r.attribute("r")) {
            const std::optional<size_t> n = Digits(a.value());
            if (!n || *n == 0)
                throw TableError(
                    file, lastRow + 1, 0,
                    "the worksheet numbers a row " + host::Quoted(host::Shortened(a.value())));
            number = *n;
        }
        if (number <= lastRow)
            throw TableError(file, number, 0,
                             "the worksheet lists this row after row " + std::to_string(lastRow));
        budget.RowNumber(number);
        lastRow = number;
        Row row{number, {}};
        for (pugi::xml_node c = Child(r, "c"); c; c = Next(c, "c")) {
            size_t column = row.cells.size() + 1;
            if (const pugi::xml_attribute a = c.attribute("r")) {
                const std::optional<size_t> n = ColumnOf(a.value());
                if (!n)
                    throw TableError(
                        file, number, 0,
                        "the worksheet names a cell " + host::Quoted(host::Shortened(a.value())));
                column = *n;
            }
            if (column <= row.cells.size())
                throw TableError(
                    file, number, column,
                    "the worksheet lists this cell after column " + ColumnName(row.cells.size()));
            const std::string_view type = c.attribute("t").value();
            std::string value;
            if (type == "inlineStr") {
                value = StringItem(Child(c, "is"));
            } else {
                AppendText(Child(c, "v"), value);
                if (type == "s") {
                    const std::optional<size_t> index = Digits(value);
                    if (!index || *index >= shared.size())
                        throw TableError(file, number, column,
                                         "the cell names a shared string the workbook does not "
                                         "have");
                    value = shared[*index];
                } else if (type == "b") {
                    value = value == "1" ? "TRUE" : value == "0" ? "FALSE" : value;
                } else if (type == "str") {
                    value = Unescaped(std::move(value));
                }
            }
            budget.Cells(number, column, column - row.cells.size());
            budget.Text(number, column, value);
            if (!host::IsValidUtf8(value))
                throw TableError(file, number, column, "the cell's text is not UTF-8");
            row.cells.resize(column - 1);
            row.cells.push_back(std::move(value));
        }
        // A row the worksheet keeps only for its height or format holds nothing.
        if (!row.cells.empty()) rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace varelo::tables::detail
