// Whole written sheets against the snapshots in tests/golden/: every part of the package, the
// document in a compact form that still holds every element, attribute and character, one table
// cell a line. A change to anything a generator writes shows here as a readable diff.
//
// After a deliberate change, scripts/refresh-golden.sh rewrites the snapshots and shows the diff.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_run.h"
#include "docx_test_util.h"
#include "temp_dir.h"

namespace {

// The sheet made by `varelo generate` with these options.
struct GoldenSheet {
    const char* name;  // ASCII: the file under tests/golden/
    const char* options;
};

const GoldenSheet kSheets[] = {
    {"a3-three", "--layout A3三栏"},
    {"a3-two", "--layout A3双栏"},
    {"eight-kai-three", "--layout 8开三栏"},
    {"eight-kai-two", "--layout 8开双栏"},
    {"a4-one", "--layout A4单栏"},
    {"b5-one", "--layout B5单栏"},
    // Three kinds of option labels, a group that wraps into a second block, every written
    // section kind, and the widest and narrowest candidate numbers.
    {"a3-two-sections",
     "--layout A3双栏 --digits 12 --title 期末考试 --subtitle 数学 --setter '' "
     "--group 选择题,26,4,2 --group 排序,6,5,1.5,数字 --group 判断题,10,,1,判断 "
     "--fill 填空题,6,2,2 --answer 解答题,2,12,10 --essay 作文,300,40"},
    {"b5-one-sections",
     "--layout B5单栏 --digits 1 --no-groups --fill 填空题,3,3,1 --answer 解答题,1,8,6"},
};

// Names as written, without the main namespace's prefix.
std::string Name(const char* name) {
    std::string s = name;
    return s.rfind("w:", 0) == 0 ? s.substr(2) : s;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// One element on one line: name(attributes in name order){children}, text quoted.
std::string Compact(pugi::xml_node node) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
        return Quote(node.value());
    std::string out = Name(node.name());
    std::vector<std::pair<std::string, std::string>> attributes;
    for (pugi::xml_attribute a : node.attributes())
        attributes.emplace_back(Name(a.name()), a.value());
    std::sort(attributes.begin(), attributes.end());
    for (size_t i = 0; i < attributes.size(); ++i)
        out += (i ? " " : "(") + attributes[i].first + "=" + Quote(attributes[i].second);
    if (!attributes.empty()) out += ")";
    bool first = true;
    for (pugi::xml_node child : node.children()) {
        out += first ? "{" : " ";
        out += Compact(child);
        first = false;
    }
    if (!first) out += "}";
    return out;
}

std::string Indent(int depth) {
    return std::string(static_cast<size_t>(depth) * 2, ' ');
}

void Write(pugi::xml_node node, int depth, std::string& out);

// A table row: its cells one a line, numbered by grid column, with a run of equal cells in one
// line; a cell that holds a table, element by element below its number.
std::vector<std::string> RowLines(pugi::xml_node row) {
    std::vector<std::string> lines;
    std::string last;
    int column = 1, from = 0, to = 0;
    const auto flush = [&] {
        if (from == 0) return;
        lines.push_back(
            (from == to ? std::to_string(from) : std::to_string(from) + "-" + std::to_string(to)) +
            " " + last);
        from = 0;
    };
    for (pugi::xml_node child : row.children()) {
        const std::string c = Compact(child);
        if (std::string(child.name()) != "w:tc") {
            flush();
            lines.push_back(c);
            continue;
        }
        const int span =
            std::max(1, child.child("w:tcPr").child("w:gridSpan").attribute("w:val").as_int());
        if (child.child("w:tbl")) {
            flush();
            std::string inner;
            for (pugi::xml_node part : child.children()) Write(part, 1, inner);
            lines.push_back(std::to_string(column) + " tc\n" + inner.substr(0, inner.size() - 1));
            column += span;
            continue;
        }
        if (from != 0 && c == last) {
            to = column + span - 1;
        } else {
            flush();
            from = column, to = column + span - 1, last = c;
        }
        column += span;
    }
    flush();
    return lines;
}

// An element a line, indented; short elements, cells and paragraphs whole on their line; a
// table row by row, a row equal to the one above in one line.
void Write(pugi::xml_node node, int depth, std::string& out) {
    const std::string name = node.name();
    const std::string whole = Compact(node);
    if (whole.size() <= 100 || name == "w:p" || node.type() != pugi::node_element) {
        out += Indent(depth) + whole + "\n";
        return;
    }
    pugi::xml_document bare;
    pugi::xml_node head = bare.append_child(node.name());
    for (pugi::xml_attribute a : node.attributes()) head.append_attribute(a.name()) = a.value();
    out += Indent(depth) + Compact(head) + "\n";
    int row = 0, sameFrom = 0;
    std::vector<std::string> above;
    const auto flushSame = [&] {
        if (sameFrom == 0) return;
        out += Indent(depth + 1) + "rows " + std::to_string(sameFrom) + "-" + std::to_string(row) +
               " as row " + std::to_string(sameFrom - 1) + "\n";
        sameFrom = 0;
    };
    for (pugi::xml_node child : node.children()) {
        if (std::string(child.name()) != "w:tr") {
            flushSame();
            Write(child, depth + 1, out);
            continue;
        }
        std::vector<std::string> lines = RowLines(child);
        ++row;
        if (row > 1 && lines == above) {
            if (sameFrom == 0) sameFrom = row;
            continue;
        }
        flushSame();
        out += Indent(depth + 1) + "row " + std::to_string(row) + "\n";
        for (const std::string& l : lines) {
            std::istringstream split(l);
            for (std::string part; std::getline(split, part);)
                out += Indent(depth + 2) + part + "\n";
        }
        above = std::move(lines);
    }
    flushSame();
}

// The whole package: each part by name, XML parts written out, others by size.
std::string Snapshot(const std::string& options, const std::string& docx) {
    std::string out = "varelo generate " + options + "\n";
    for (const auto& [part, data] : varelo::testing::Unzip(docx)) {
        const bool xml = part.size() > 4 && (part.compare(part.size() - 4, 4, ".xml") == 0 ||
                                             part.compare(part.size() - 5, 5, ".rels") == 0);
        if (!xml) {
            out += "\n== " + part + ": " + std::to_string(data.size()) + " bytes\n";
            continue;
        }
        out += "\n== " + part + "\n";
        pugi::xml_document doc;
        const pugi::xml_parse_result parsed =
            doc.load_buffer(data.data(), data.size(),
                            pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration);
        if (!parsed) {
            out += std::string("not well-formed: ") + parsed.description() + "\n";
            continue;
        }
        for (pugi::xml_node child : doc.children()) Write(child, 0, out);
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return in ? s.str() : std::string();
}

// The first line where two texts part, for the failure message.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::istringstream x(a), y(b);
    std::string l, m;
    for (int line = 1;; ++line) {
        const bool more = static_cast<bool>(std::getline(x, l)),
                   moreToo = static_cast<bool>(std::getline(y, m));
        if (!more && !moreToo) return "";
        if (!more || !moreToo || l != m)
            return "line " + std::to_string(line) + ":\n  snapshot: " + (more ? l : "(end)") +
                   "\n  written:  " + (moreToo ? m : "(end)");
    }
}

}  // namespace

TEST(GoldenSheets, GeneratedSheetsMatchTheirSnapshots) {
    const bool refresh = std::getenv("VARELO_REFRESH_GOLDEN") != nullptr;
    varelo::testing::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    for (const GoldenSheet& sheet : kSheets) {
        SCOPED_TRACE(sheet.name);
        const std::string docx = (dir.path() / (std::string(sheet.name) + ".docx")).string();
        const auto run =
            varelo::testing::RunVarelo(std::string("generate ") + sheet.options + " -o " + docx);
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string written = Snapshot(sheet.options, ReadFile(docx));
        const std::string path =
            std::string(VARELO_SOURCE_DIR) + "/tests/golden/" + sheet.name + ".txt";
        if (refresh) {
            std::ofstream(path, std::ios::binary) << written;
            continue;
        }
        const std::string snapshot = ReadFile(path);
        EXPECT_TRUE(snapshot == written)
            << path << " differs at " << FirstDifference(snapshot, written)
            << "\nIf the change is meant, run scripts/refresh-golden.sh and review the diff.";
    }
}
