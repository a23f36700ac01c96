#include "omr/omr_template.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

#include "base/atomic_file.h"
#include "base/units.h"

namespace varelo::layout {

namespace {

using Json = nlohmann::ordered_json;

using host::kMillimetresPerPoint;

// Rounds to a number of decimals; dividing by a power of ten gives the double nearest the
// decimal, so the JSON shows it without a long tail.
double Round(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

Json RectJson(const OmrRect& r) {
    constexpr int kDecimals = 3;  // micrometres
    return Json{{"x", Round(r.x, kDecimals)},
                {"y", Round(r.y, kDecimals)},
                {"width", Round(r.width, kDecimals)},
                {"height", Round(r.height, kDecimals)}};
}

Json BubbleJson(const char* key, const Json& value, const OmrRect& r) {
    return Json{{key, value}, {"page", r.page}, {"rect", RectJson(r)}};
}

// A field of an OMRChecker block: one item or one candidate-number column, its bubbles on
// one page running down from (x, y) gap pixels apart.
struct Field {
    std::string label;
    std::vector<std::string> values;
    double x = 0, y = 0, gap = 0;
};

struct FieldBlock {
    std::string name;
    std::vector<Field> fields;
    double labelsGap = 0;
};

constexpr double kPixelTolerance = 0.01;

bool Joins(const FieldBlock& block, const Field& f) {
    const Field& first = block.fields.front();
    const Field& last = block.fields.back();
    if (f.values != first.values || std::abs(f.y - first.y) > kPixelTolerance ||
        std::abs(f.gap - first.gap) > kPixelTolerance || f.x <= last.x)
        return false;
    return block.fields.size() == 1 || std::abs(f.x - last.x - block.labelsGap) <= kPixelTolerance;
}

// Neighbouring fields with the same values, the same top and an even spacing form one block.
std::vector<FieldBlock> FormBlocks(const std::vector<Field>& fields) {
    std::vector<FieldBlock> blocks;
    for (const Field& f : fields) {
        if (!blocks.empty() && Joins(blocks.back(), f)) {
            FieldBlock& b = blocks.back();
            if (b.fields.size() == 1) b.labelsGap = f.x - b.fields.back().x;
            b.fields.push_back(f);
        } else {
            blocks.push_back({{}, {f}, 0});
        }
    }
    return blocks;
}

std::optional<Field> FieldOnPage(const std::string& label, const std::vector<OmrBubble>& bubbles,
                                 int page, double scale) {
    std::vector<const OmrBubble*> on;
    for (const OmrBubble& b : bubbles)
        if (b.rect.page == page) on.push_back(&b);
    if (on.empty()) return std::nullopt;
    Field f{label, {}, on.front()->rect.x * scale, on.front()->rect.y * scale, 0};
    for (const OmrBubble* b : on) f.values.push_back(b->value);
    if (on.size() > 1)
        f.gap =
            (on.back()->rect.y - on.front()->rect.y) * scale / static_cast<double>(on.size() - 1);
    return f;
}

// JSON on one line, with a blank after every colon and comma. Texts from the dialog may hold
// broken UTF-8; it is replaced rather than failing the export.
std::string Inline(const Json& j) {
    if (!j.is_structured()) return j.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out(1, j.is_object() ? '{' : '[');
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first) out += ", ";
        first = false;
        if (j.is_object())
            out += Json(it.key()).dump(-1, ' ', false, Json::error_handler_t::replace) + ": ";
        out += Inline(it.value());
    }
    return out + (j.is_object() ? '}' : ']');
}

// Indented JSON that keeps every nested object or array that fits in the line on one line, so
// a rectangle or a bubble reads as one line; the top level is always spread out.
void Pretty(const Json& j, size_t indent, size_t used, std::string& out) {
    constexpr size_t kWidth = 120;
    const std::string one = Inline(j);
    if (!j.is_structured() || j.empty() || (indent > 0 && used + one.size() <= kWidth)) {
        out += one;
        return;
    }
    const std::string pad(indent + 2, ' ');
    out += j.is_object() ? "{\n" : "[\n";
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first) out += ",\n";
        first = false;
        out += pad;
        std::string key;
        if (j.is_object())
            key = Json(it.key()).dump(-1, ' ', false, Json::error_handler_t::replace) + ": ";
        out += key;
        Pretty(it.value(), indent + 2, pad.size() + key.size(), out);
    }
    out += "\n" + std::string(indent, ' ') + (j.is_object() ? '}' : ']');
}

std::string Dump(const Json& j) {
    std::string out;
    Pretty(j, 0, 0, out);
    return out + "\n";
}

Json BlockJson(const FieldBlock& b) {
    constexpr int kDecimals = 2;  // hundredths of a pixel
    Json labels = Json::array();
    for (const Field& f : b.fields) labels.push_back(f.label);
    const Field& first = b.fields.front();
    return Json{{"origin", {std::lround(first.x), std::lround(first.y)}},
                {"bubblesGap", Round(first.gap, kDecimals)},
                {"labelsGap", Round(b.labelsGap, kDecimals)},
                {"fieldLabels", labels},
                {"bubbleValues", first.values},
                {"direction", "vertical"}};
}

void WriteAtomically(const std::string& path, const std::string& text) {
    try {
        host::SaveFileAtomically(path, text);
    } catch (const host::SaveError& e) {
        throw OmrError(e.what());
    }
}

}  // namespace

std::string OmrTemplateJson(const OmrTemplate& t) {
    Json pages = Json::array();
    for (size_t i = 0; i < t.pages.size(); ++i) {
        Json marks = Json::array();
        for (const OmrMark& m : t.pages[i].marks)
            marks.push_back(
                Json{{"kind", m.corner ? "corner" : "row"}, {"rect", RectJson(m.rect)}});
        pages.push_back(Json{{"page", static_cast<int>(i) + 1},
                             {"width", Round(t.pages[i].width, 3)},
                             {"height", Round(t.pages[i].height, 3)},
                             {"marks", marks}});
    }
    Json columns = Json::array();
    for (size_t i = 0; i < t.candidateColumns.size(); ++i) {
        Json bubbles = Json::array();
        for (const OmrBubble& b : t.candidateColumns[i])
            bubbles.push_back(BubbleJson("digit", std::stoi(b.value), b.rect));
        columns.push_back(Json{{"position", static_cast<int>(i) + 1}, {"bubbles", bubbles}});
    }
    Json groups = Json::array();
    for (size_t i = 0; i < t.groups.size(); ++i) {
        const OmrGroup& g = t.groups[i];
        groups.push_back(Json{{"group", static_cast<int>(i) + 1},
                              {"number", g.number},
                              {"name", g.name},
                              {"points", g.points},
                              {"firstItem", g.firstItem},
                              {"itemCount", g.itemCount},
                              {"optionCount", g.optionCount},
                              {"labels", g.labels}});
    }
    Json items = Json::array();
    for (const OmrItem& item : t.items) {
        Json options = Json::array();
        for (const OmrBubble& b : item.options)
            options.push_back(BubbleJson("label", b.value, b.rect));
        items.push_back(Json{{"number", item.number},
                             {"group", item.group},
                             {"points", item.points},
                             {"options", options}});
    }
    Json regions = Json::array();
    for (const OmrRegion& r : t.regions) {
        Json region{{"kind", r.kind}, {"section", r.section}, {"item", r.item}};
        if (r.part > 0) region["part"] = r.part;
        region["points"] = r.points;
        region["page"] = r.rect.page;
        region["rect"] = RectJson(r.rect);
        regions.push_back(std::move(region));
    }
    Json doc{{"format", "varelo-omr-template"},
             {"version", t.choices.empty() ? 1 : 2},
             {"unit", "mm"},
             {"layout", t.layout},
             {"title", t.title},
             {"subtitle", t.subtitle},
             {"pages", pages},
             {"candidateNumber", {{"digits", t.candidateColumns.size()}, {"columns", columns}}},
             {"groups", groups},
             {"items", items},
             {"regions", regions}};
    // Written only for a sheet that prints codes: templates without them stay as they were.
    if (!t.pageCodes.empty()) {
        Json codes = Json::array();
        for (const OmrRect& r : t.pageCodes)
            codes.push_back(Json{{"page", r.page}, {"rect", RectJson(r)}});
        doc["examId"] = t.examId;
        doc["pageCodes"] = codes;
    }
    // Likewise the marks: each written only when the sheet prints it.
    if (!t.absent.empty())
        doc["absent"] = Json{{"page", t.absent[0].rect.page}, {"rect", RectJson(t.absent[0].rect)}};
    if (!t.paperTypes.empty()) {
        Json types = Json::array();
        for (const OmrBubble& b : t.paperTypes)
            types.push_back(BubbleJson("type", b.value, b.rect));
        doc["paperTypes"] = types;
    }
    if (!t.choices.empty()) {
        Json choices = Json::array();
        for (const OmrChoice& c : t.choices) {
            Json bubbles = Json::array();
            for (const OmrBubble& b : c.bubbles)
                bubbles.push_back(BubbleJson("item", std::stoi(b.value), b.rect));
            choices.push_back(Json{{"section", c.section}, {"bubbles", bubbles}});
        }
        doc["choices"] = choices;
    }
    return Dump(doc);
}

std::vector<const std::vector<OmrBubble>*> MarkFields(const OmrTemplate& t) {
    std::vector<const std::vector<OmrBubble>*> out{&t.absent, &t.paperTypes};
    for (const OmrChoice& c : t.choices) out.push_back(&c.bubbles);
    return out;
}

const OmrRect* PageCodeOf(const OmrTemplate& t, int page) {
    for (const OmrRect& r : t.pageCodes)
        if (r.page == page) return &r;
    return nullptr;
}

std::vector<std::string> OmrCheckerJson(const OmrTemplate& t, int dpi) {
    if (dpi < 1) throw OmrError("the resolution must be a positive number of dots per inch");
    const double scale = host::PixelsPerMillimetre(dpi);

    // All bubbles are one glyph at one size; take the first for the common bubble size.
    const OmrBubble* sample = nullptr;
    if (!t.candidateColumns.empty() && !t.candidateColumns.front().empty())
        sample = &t.candidateColumns.front().front();
    else if (!t.items.empty() && !t.items.front().options.empty())
        sample = &t.items.front().options.front();
    const long bubbleW = sample ? std::max(1L, std::lround(sample->rect.width * scale)) : 1;
    const long bubbleH = sample ? std::max(1L, std::lround(sample->rect.height * scale)) : 1;

    std::vector<std::string> out;
    for (size_t i = 0; i < t.pages.size(); ++i) {
        const int page = static_cast<int>(i) + 1;
        std::vector<Field> digits, items;
        Json candidateLabels = Json::array();
        for (size_t c = 0; c < t.candidateColumns.size(); ++c) {
            const std::string label = "c" + std::to_string(c + 1);
            if (auto f = FieldOnPage(label, t.candidateColumns[c], page, scale)) {
                digits.push_back(*f);
                candidateLabels.push_back(label);
            }
        }
        for (const OmrItem& item : t.items)
            if (auto f = FieldOnPage("q" + std::to_string(item.number), item.options, page, scale))
                items.push_back(*f);

        Json blocks = Json::object();
        const std::vector<FieldBlock> digitBlocks = FormBlocks(digits);
        for (size_t b = 0; b < digitBlocks.size(); ++b)
            blocks[b == 0 ? std::string("candidateNumber")
                          : "candidateNumber_" + std::to_string(b + 1)] = BlockJson(digitBlocks[b]);
        for (const FieldBlock& b : FormBlocks(items)) {
            const std::string name = b.fields.size() == 1
                                         ? b.fields.front().label
                                         : b.fields.front().label + "-" + b.fields.back().label;
            blocks[name] = BlockJson(b);
        }

        Json doc{{"pageDimensions",
                  {std::lround(t.pages[i].width * scale), std::lround(t.pages[i].height * scale)}},
                 {"bubbleDimensions", {bubbleW, bubbleH}},
                 {"preProcessors", Json::array()},
                 {"fieldBlocks", blocks}};
        if (!candidateLabels.empty())
            doc["customLabels"] = Json{{"candidateNumber", candidateLabels}};
        out.push_back(Dump(doc));
    }
    return out;
}

bool PageHasBubbles(const OmrTemplate& t, int page) {
    const auto on = [page](const std::vector<OmrBubble>& bubbles) {
        return std::any_of(bubbles.begin(), bubbles.end(),
                           [page](const OmrBubble& b) { return b.rect.page == page; });
    };
    const std::vector<const std::vector<OmrBubble>*> marks = MarkFields(t);
    return std::any_of(t.candidateColumns.begin(), t.candidateColumns.end(), on) ||
           std::any_of(t.items.begin(), t.items.end(),
                       [&](const OmrItem& item) { return on(item.options); }) ||
           std::any_of(marks.begin(), marks.end(), [&](const auto* m) { return on(*m); });
}

std::vector<std::string> WriteOmrTemplate(const OmrTemplate& t, const std::string& path,
                                          OmrFormat format, int dpi) {
    if (format == OmrFormat::Varelo) {
        WriteAtomically(path, OmrTemplateJson(t));
        return {path};
    }
    const std::vector<std::string> pages = OmrCheckerJson(t, dpi);
    std::string stem = path;
    if (stem.size() >= 5) {
        std::string tail = stem.substr(stem.size() - 5);
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char ch) { return std::tolower(ch); });
        if (tail == ".json") stem.resize(stem.size() - 5);
    }
    std::vector<std::string> written;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (!PageHasBubbles(t, static_cast<int>(i) + 1)) continue;
        const std::string file = stem + "-" + std::to_string(i + 1) + ".json";
        WriteAtomically(file, pages[i]);
        written.push_back(file);
    }
    return written;
}

}  // namespace varelo::layout
