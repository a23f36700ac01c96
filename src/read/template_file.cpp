#include "read/template_file.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "read/read_error.h"

namespace varelo::read {

namespace {

using nlohmann::json;

[[noreturn]] void Bad(const std::string& where, const std::string& what) {
    throw ReadError("the template's " + where + " " + what);
}

const json& Field(const json& object, const char* key, const std::string& where) {
    if (!object.is_object()) Bad(where, "must be an object");
    const auto it = object.find(key);
    if (it == object.end()) Bad(where, std::string("has no \"") + key + "\"");
    return *it;
}

double Number(const json& object, const char* key, const std::string& where) {
    const json& v = Field(object, key, where);
    if (!v.is_number()) Bad(where + "." + key, "must be a number");
    return v.get<double>();
}

int Whole(const json& object, const char* key, const std::string& where) {
    const json& v = Field(object, key, where);
    if (!v.is_number_integer()) Bad(where + "." + key, "must be a whole number");
    return v.get<int>();
}

std::string Text(const json& object, const char* key, const std::string& where) {
    const json& v = Field(object, key, where);
    if (!v.is_string()) Bad(where + "." + key, "must be text");
    return v.get<std::string>();
}

const json& Array(const json& object, const char* key, const std::string& where) {
    const json& v = Field(object, key, where);
    if (!v.is_array()) Bad(where + "." + key, "must be an array");
    return v;
}

layout::OmrRect Rect(const json& object, int page, const std::string& where) {
    const json& r = Field(object, "rect", where);
    layout::OmrRect out{page, Number(r, "x", where + ".rect"), Number(r, "y", where + ".rect"),
                        Number(r, "width", where + ".rect"), Number(r, "height", where + ".rect")};
    if (out.width <= 0 || out.height <= 0) Bad(where + ".rect", "must have a positive size");
    return out;
}

std::string At(const std::string& where, size_t i) {
    return where + "[" + std::to_string(i) + "]";
}

layout::OmrBubble Bubble(const json& b, const std::string& value, size_t pages,
                         const std::string& where) {
    const int page = Whole(b, "page", where);
    if (page < 1 || static_cast<size_t>(page) > pages) Bad(where + ".page", "is not a page");
    return {value, Rect(b, page, where)};
}

}  // namespace

layout::OmrTemplate ParseTemplate(const std::string& text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        throw ReadError(std::string("the template is not valid JSON: ") + e.what());
    }
    if (!root.is_object() || root.value("format", "") != "varelo-omr-template")
        throw ReadError(
            "not a Varelo scanner template (\"format\" is not \"varelo-omr-template\")");
    if (!root.contains("version") || root["version"] != 1)
        throw ReadError("the template's version is not 1, the one this reader knows");
    if (root.value("unit", "") != "mm") Bad("unit", "must be \"mm\"");

    layout::OmrTemplate t;
    t.layout = root.value("layout", "");
    t.title = root.value("title", "");
    t.subtitle = root.value("subtitle", "");
    const json& pages = Array(root, "pages", "root");
    if (pages.empty()) Bad("pages", "are empty");
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string where = At("pages", i);
        layout::OmrPage page{
            Number(pages[i], "width", where), Number(pages[i], "height", where), {}};
        if (page.width <= 0 || page.height <= 0) Bad(where, "must have a positive size");
        const json& marks = Array(pages[i], "marks", where);
        for (size_t m = 0; m < marks.size(); ++m) {
            const std::string at = At(where + ".marks", m);
            const std::string kind = Text(marks[m], "kind", at);
            if (kind != "corner" && kind != "row") Bad(at + ".kind", "must be corner or row");
            page.marks.push_back({kind == "corner", Rect(marks[m], static_cast<int>(i) + 1, at)});
        }
        t.pages.push_back(std::move(page));
    }

    const json& columns =
        Array(Field(root, "candidateNumber", "root"), "columns", "candidateNumber");
    for (size_t c = 0; c < columns.size(); ++c) {
        const std::string where = At("candidateNumber.columns", c);
        const json& bubbles = Array(columns[c], "bubbles", where);
        std::vector<layout::OmrBubble> column;
        for (size_t b = 0; b < bubbles.size(); ++b) {
            const std::string at = At(where + ".bubbles", b);
            const int digit = Whole(bubbles[b], "digit", at);
            if (digit < 0 || digit > 9) Bad(at + ".digit", "must be 0 to 9");
            column.push_back(Bubble(bubbles[b], std::to_string(digit), pages.size(), at));
        }
        t.candidateColumns.push_back(std::move(column));
    }

    const json& groups = Array(root, "groups", "root");
    for (size_t g = 0; g < groups.size(); ++g) {
        const std::string where = At("groups", g);
        layout::OmrGroup group;
        group.number = groups[g].value("number", "");
        group.name = groups[g].value("name", "");
        group.points = Number(groups[g], "points", where);
        group.firstItem = Whole(groups[g], "firstItem", where);
        group.itemCount = Whole(groups[g], "itemCount", where);
        group.optionCount = Whole(groups[g], "optionCount", where);
        t.groups.push_back(std::move(group));
    }

    const json& items = Array(root, "items", "root");
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string where = At("items", i);
        layout::OmrItem item;
        item.number = Whole(items[i], "number", where);
        item.group = Whole(items[i], "group", where);
        if (item.group < 1 || static_cast<size_t>(item.group) > t.groups.size())
            Bad(where + ".group", "is not a group of the template");
        item.points = Number(items[i], "points", where);
        const json& options = Array(items[i], "options", where);
        for (size_t o = 0; o < options.size(); ++o) {
            const std::string at = At(where + ".options", o);
            item.options.push_back(
                Bubble(options[o], Text(options[o], "label", at), pages.size(), at));
        }
        t.items.push_back(std::move(item));
    }

    // Written-answer regions came later in the same version: a template without them has none.
    if (root.contains("regions")) {
        const json& regions = Array(root, "regions", "root");
        for (size_t i = 0; i < regions.size(); ++i) {
            const std::string where = At("regions", i);
            layout::OmrRegion region;
            region.kind = Text(regions[i], "kind", where);
            if (region.kind != "填空" && region.kind != "解答" && region.kind != "作文")
                Bad(where + ".kind", "must be 填空, 解答 or 作文");
            region.section = Whole(regions[i], "section", where);
            region.item = Whole(regions[i], "item", where);
            if (region.item < 1) Bad(where + ".item", "must be 1 or more");
            if (regions[i].contains("part")) {
                region.part = Whole(regions[i], "part", where);
                if (region.part < 1) Bad(where + ".part", "must be 1 or more");
            }
            region.points = Number(regions[i], "points", where);
            const int page = Whole(regions[i], "page", where);
            if (page < 1 || static_cast<size_t>(page) > pages.size())
                Bad(where + ".page", "is not a page");
            region.rect = Rect(regions[i], page, where);
            const layout::OmrPage& on = t.pages[static_cast<size_t>(page - 1)];
            if (region.rect.x < 0 || region.rect.y < 0 ||
                region.rect.x + region.rect.width > on.width ||
                region.rect.y + region.rect.height > on.height)
                Bad(where + ".rect", "must lie on its page");
            t.regions.push_back(std::move(region));
        }
    }
    return t;
}

layout::OmrTemplate LoadTemplate(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ReadError("cannot read the template " + path);
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return ParseTemplate(text.str());
    } catch (const ReadError& e) {
        throw ReadError(path + ": " + e.what());
    }
}

}  // namespace varelo::read
