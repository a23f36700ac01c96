#include "omr/template_file.h"

#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "base/input_file.h"
#include "base/read_error.h"

namespace varelo::read {

namespace {

using nlohmann::json;

// Bounds no sheet comes near, so a hand-edited or damaged template cannot make the reader run
// for hours or overflow: pages of paper up to 5 m a side, at most 16 of them, and counts of
// marks and bubbles a hundred times those of the largest sheet.
constexpr double kMaxPageMm = 5000;
constexpr size_t kMaxPages = 16;
constexpr size_t kMaxMarks = 2000;
constexpr size_t kMaxBubbles = 20000;
constexpr size_t kMaxRegions = 2000;
constexpr double kMaxPoints = 1e6;
// A bubble is read by the mean of its middle: one as large as its page would make every bubble
// cost a whole scan.
constexpr double kMaxBubbleShare = 0.1;

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
    // An unsigned value past int64 would wrap as well: compare it as unsigned.
    if (v.is_number_unsigned()
            ? v.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int>::max())
            : v.get<int64_t>() < std::numeric_limits<int>::min() ||
                  v.get<int64_t>() > std::numeric_limits<int>::max())
        Bad(where + "." + key, "is out of range");
    return static_cast<int>(v.get<int64_t>());
}

// Item and group points, within kMaxPoints so no total overflows.
double Points(const json& object, const std::string& where) {
    const double points = Number(object, "points", where);
    if (points < 0 || points > kMaxPoints) Bad(where + ".points", "must be from 0 to 1000000");
    return points;
}

// A text field the format may leave out: "" then.
std::string OptionalText(const json& object, const char* key, const std::string& where) {
    if (!object.is_object()) Bad(where, "must be an object");
    const auto it = object.find(key);
    if (it == object.end()) return "";
    if (!it->is_string()) Bad(where == "root" ? key : where + "." + key, "must be text");
    return it->get<std::string>();
}

void Count(size_t count, size_t most, const std::string& what) {
    if (count > most)
        throw ReadError("the template has more than " + std::to_string(most) + " " + what);
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

void RefuseOffPage(const layout::OmrRect& r, const layout::OmrPage& on, const std::string& where) {
    if (r.x < 0 || r.y < 0 || r.x + r.width > on.width || r.y + r.height > on.height)
        Bad(where + ".rect", "must lie on its page");
}

layout::OmrBubble Bubble(const json& b, const std::string& value,
                         const std::vector<layout::OmrPage>& pages, const std::string& where) {
    const int page = Whole(b, "page", where);
    if (page < 1 || static_cast<size_t>(page) > pages.size()) Bad(where + ".page", "is not a page");
    layout::OmrBubble bubble{value, Rect(b, page, where)};
    const layout::OmrPage& on = pages[static_cast<size_t>(page - 1)];
    RefuseOffPage(bubble.rect, on, where);
    if (bubble.rect.width > on.width * kMaxBubbleShare ||
        bubble.rect.height > on.height * kMaxBubbleShare)
        Bad(where + ".rect", "must be at most a tenth of its page's width and height");
    return bubble;
}

layout::OmrTemplate Parse(const json& root);

}  // namespace

layout::OmrTemplate ParseTemplate(const std::string& text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        // A number past the range of double is an out_of_range error, not a parse_error.
        throw ReadError(std::string("the template is not valid JSON: ") + e.what());
    }
    return Parse(root);
}

namespace {

layout::OmrTemplate Parse(const json& root) {
    if (!root.is_object() || !root.contains("format") || root["format"] != "varelo-omr-template")
        throw ReadError(
            "not a Varelo scanner template (\"format\" is not \"varelo-omr-template\")");
    // Version 2 adds optional questions, whose crops are named after the item chosen.
    if (!root.contains("version") || (root["version"] != 1 && root["version"] != 2))
        throw ReadError("the template's version is not 1 or 2, the ones this reader knows");
    if (!root.contains("unit") || root["unit"] != "mm") Bad("unit", "must be \"mm\"");

    layout::OmrTemplate t;
    t.layout = OptionalText(root, "layout", "root");
    t.title = OptionalText(root, "title", "root");
    t.subtitle = OptionalText(root, "subtitle", "root");
    const json& pages = Array(root, "pages", "root");
    if (pages.empty()) Bad("pages", "are empty");
    Count(pages.size(), kMaxPages, "pages");
    size_t markCount = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string where = At("pages", i);
        layout::OmrPage page{
            Number(pages[i], "width", where), Number(pages[i], "height", where), {}};
        if (page.width < 1 || page.height < 1 || page.width > kMaxPageMm ||
            page.height > kMaxPageMm)
            Bad(where, "must be 1 to 5000 mm wide and high");
        const json& marks = Array(pages[i], "marks", where);
        Count(markCount += marks.size(), kMaxMarks, "marks");
        for (size_t m = 0; m < marks.size(); ++m) {
            const std::string at = At(where + ".marks", m);
            const std::string kind = Text(marks[m], "kind", at);
            if (kind != "corner" && kind != "row") Bad(at + ".kind", "must be corner or row");
            page.marks.push_back({kind == "corner", Rect(marks[m], static_cast<int>(i) + 1, at)});
            RefuseOffPage(page.marks.back().rect, page, at);
        }
        t.pages.push_back(std::move(page));
    }
    size_t bubbleCount = 0;
    const json& columns =
        Array(Field(root, "candidateNumber", "root"), "columns", "candidateNumber");
    Count(columns.size(), kMaxBubbles, "candidate-number columns");
    for (size_t c = 0; c < columns.size(); ++c) {
        const std::string where = At("candidateNumber.columns", c);
        const json& bubbles = Array(columns[c], "bubbles", where);
        Count(bubbleCount += bubbles.size(), kMaxBubbles, "bubbles");
        std::vector<layout::OmrBubble> column;
        for (size_t b = 0; b < bubbles.size(); ++b) {
            const std::string at = At(where + ".bubbles", b);
            const int digit = Whole(bubbles[b], "digit", at);
            if (digit < 0 || digit > 9) Bad(at + ".digit", "must be 0 to 9");
            column.push_back(Bubble(bubbles[b], std::to_string(digit), t.pages, at));
        }
        t.candidateColumns.push_back(std::move(column));
    }

    const json& groups = Array(root, "groups", "root");
    Count(groups.size(), kMaxBubbles, "groups");
    for (size_t g = 0; g < groups.size(); ++g) {
        const std::string where = At("groups", g);
        layout::OmrGroup group;
        group.number = OptionalText(groups[g], "number", where);
        group.name = OptionalText(groups[g], "name", where);
        group.points = Points(groups[g], where);
        group.firstItem = Whole(groups[g], "firstItem", where);
        group.itemCount = Whole(groups[g], "itemCount", where);
        group.optionCount = Whole(groups[g], "optionCount", where);
        t.groups.push_back(std::move(group));
    }

    const json& items = Array(root, "items", "root");
    // Results and the key name items by number: two items of one number would share a key
    // and a column.
    Count(items.size(), kMaxBubbles, "items");
    std::set<int> numbers;
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string where = At("items", i);
        layout::OmrItem item;
        item.number = Whole(items[i], "number", where);
        if (!numbers.insert(item.number).second)
            Bad(where + ".number", "repeats item " + std::to_string(item.number));
        item.group = Whole(items[i], "group", where);
        if (item.group < 1 || static_cast<size_t>(item.group) > t.groups.size())
            Bad(where + ".group", "is not a group of the template");
        item.points = Points(items[i], where);
        const json& options = Array(items[i], "options", where);
        Count(bubbleCount += options.size(), kMaxBubbles, "bubbles");
        for (size_t o = 0; o < options.size(); ++o) {
            const std::string at = At(where + ".options", o);
            const std::string label = Text(options[o], "label", at);
            // The key and the results spell an answer as its labels run together.
            if (label.empty()) Bad(at + ".label", "is empty");
            for (const layout::OmrBubble& other : item.options)
                if (other.value == label) Bad(at + ".label", "repeats " + label);
            item.options.push_back(Bubble(options[o], label, t.pages, at));
        }
        t.items.push_back(std::move(item));
    }

    // Written-answer regions came later in the same version: a template without them has none.
    if (root.contains("regions")) {
        const json& regions = Array(root, "regions", "root");
        Count(regions.size(), kMaxRegions, "regions");
        // Crops are named by item (and part): two regions of one item would write one picture.
        // Only a composition split over page columns has several, each with its own part.
        std::map<int, std::set<int>> partsByItem;  // 0 for a region without parts
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
            std::set<int>& parts = partsByItem[region.item];
            if (!parts.empty() && (region.part == 0 || parts.count(0)))
                Bad(where + ".item", "repeats item " + std::to_string(region.item));
            if (!parts.insert(region.part).second)
                Bad(where + ".part", "repeats part " + std::to_string(region.part) + " of item " +
                                         std::to_string(region.item));
            region.points = Points(regions[i], where);
            const int page = Whole(regions[i], "page", where);
            if (page < 1 || static_cast<size_t>(page) > pages.size())
                Bad(where + ".page", "is not a page");
            region.rect = Rect(regions[i], page, where);
            RefuseOffPage(region.rect, t.pages[static_cast<size_t>(page - 1)], where);
            t.regions.push_back(std::move(region));
        }
    }

    // Page codes also came later in the same version: a template without them has none.
    if (root.contains("pageCodes")) {
        t.examId = Text(root, "examId", "root");
        if (t.examId.size() != 16 ||
            t.examId.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            Bad("examId", "must be 16 hexadecimal digits");
        const json& codes = Array(root, "pageCodes", "root");
        Count(codes.size(), t.pages.size(), "pageCodes");
        for (size_t i = 0; i < codes.size(); ++i) {
            const std::string where = At("pageCodes", i);
            const int page = Whole(codes[i], "page", where);
            if (page < 1 || static_cast<size_t>(page) > t.pages.size())
                Bad(where + ".page", "is not a page");
            if (layout::PageCodeOf(t, page)) Bad(where + ".page", "repeats a page");
            layout::OmrRect rect = Rect(codes[i], page, where);
            RefuseOffPage(rect, t.pages[static_cast<size_t>(page - 1)], where);
            t.pageCodes.push_back(rect);
        }
    }

    // The marks, each only on a sheet that prints it.
    if (root.contains("absent"))
        t.absent.push_back(Bubble(Field(root, "absent", "root"), "缺考", t.pages, "absent"));
    if (root.contains("paperTypes")) {
        const json& types = Array(root, "paperTypes", "root");
        Count(types.size(), 26, "paper types");
        for (size_t i = 0; i < types.size(); ++i) {
            const std::string where = At("paperTypes", i);
            const std::string type = Text(types[i], "type", where);
            if (type.empty()) Bad(where + ".type", "is empty");
            for (const layout::OmrBubble& other : t.paperTypes)
                if (other.value == type) Bad(where + ".type", "repeats " + type);
            t.paperTypes.push_back(Bubble(types[i], type, t.pages, where));
        }
    }
    if (root.contains("choices")) {
        if (root["version"] != 2) Bad("choices", "need version 2");
        const json& choices = Array(root, "choices", "root");
        Count(choices.size(), kMaxRegions, "choices");
        for (size_t i = 0; i < choices.size(); ++i) {
            const std::string where = At("choices", i);
            layout::OmrChoice choice{Whole(choices[i], "section", where), {}};
            const json& bubbles = Array(choices[i], "bubbles", where);
            Count(bubbles.size(), kMaxBubbles, "bubbles");
            for (size_t b = 0; b < bubbles.size(); ++b) {
                const std::string at = At(where + ".bubbles", b);
                const int item = Whole(bubbles[b], "item", at);
                if (item < 1) Bad(at + ".item", "must be 1 or more");
                choice.bubbles.push_back(Bubble(bubbles[b], std::to_string(item), t.pages, at));
            }
            t.choices.push_back(std::move(choice));
        }
    }
    return t;
}

}  // namespace

layout::OmrTemplate LoadTemplate(const std::string& path) {
    const std::string text = ReadInputFile(path, "the template");
    try {
        return ParseTemplate(text);
    } catch (const ReadError& e) {
        throw ReadError(path + ": " + e.what());
    }
}

}  // namespace varelo::read
