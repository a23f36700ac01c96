#include "section_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "base/numbers.h"
#include "base/printable.h"
#include "batch.h"
#include "options.h"

namespace varelo::cli {

namespace {

using exam::SectionKind;
using nlohmann::json;

std::optional<int> WholeNumber(const std::string& text) {
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc{} || ptr != end || text.empty()) return std::nullopt;
    return n;
}

struct SectionForm {
    SectionKind kind;
    const char* option;  // command-line option
    const char* kindName;
    const char* usage;  // the option's value
    const char* count;  // the kind's own count: its batch key (BLANKS, ROWS, CHARS in the value)
};

constexpr SectionForm kForms[] = {
    {SectionKind::Fill, "--fill", "填空", "NAME,ITEMS,BLANKS,POINTS", "blanks"},
    {SectionKind::Answer, "--answer", "解答", "NAME,ITEMS,ROWS,POINTS", "rows"},
    {SectionKind::Essay, "--essay", "作文", "NAME,CHARS,POINTS", "chars"},
};

void SetCount(exam::WrittenSection& s, int value) {
    switch (s.kind) {
        case SectionKind::Fill:
            s.blanks = value;
            break;
        case SectionKind::Answer:
            s.rows = value;
            break;
        case SectionKind::Essay:
            s.chars = value;
            break;
    }
}

std::string Shown(const json& value) {
    return host::Printable(value.dump(-1, ' ', false, json::error_handler_t::replace));
}

}  // namespace

exam::WrittenSection ParseSectionOption(const std::string& option, const std::string& value) {
    const auto form = std::find_if(std::begin(kForms), std::end(kForms),
                                   [&](const SectionForm& f) { return option == f.option; });
    if (form == std::end(kForms)) throw UsageError("unknown option \"" + option + "\"");
    const bool essay = form->kind == SectionKind::Essay;
    const std::vector<std::string> f = SplitAtCommas(value);
    const auto refuse = [&] {
        return UsageError(option + " wants " + form->usage +
                          " (whole numbers, POINTS a number), not \"" + host::Printable(value) +
                          "\"");
    };
    if (f.size() != (essay ? 3u : 4u)) throw refuse();
    exam::WrittenSection s;
    s.kind = form->kind;
    s.name = f[0];
    const std::optional<int> items = essay ? std::optional<int>(1) : WholeNumber(f[1]);
    const std::optional<int> count = WholeNumber(f[essay ? 1 : 2]);
    const std::optional<double> points = host::ParseNumber(f.back());
    if (!items || !count || !points) throw refuse();
    s.items = *items;
    SetCount(s, *count);
    s.points = *points;
    return s;
}

exam::WrittenSection ParseSectionObject(const json& object) {
    if (!object.is_object())
        throw JobFileError("\"sections\" must hold objects, not " + Shown(object));
    const auto kindIt = object.find("kind");
    if (kindIt == object.end() || !kindIt->is_string())
        throw JobFileError("a section needs \"kind\": \"填空\", \"解答\" or \"作文\"");
    const std::string kind = kindIt->get<std::string>();
    const auto form = std::find_if(std::begin(kForms), std::end(kForms),
                                   [&](const SectionForm& f) { return kind == f.kindName; });
    if (form == std::end(kForms))
        throw JobFileError("\"kind\" must be \"填空\", \"解答\" or \"作文\", not " +
                           Shown(*kindIt));
    const bool essay = form->kind == SectionKind::Essay;
    const std::string where = std::string("a ") + form->kindName + " section ";
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& key = it.key();
        const bool known = key == "kind" || key == "name" || key == "points" ||
                           key == form->count || (!essay && key == "items");
        if (!known) throw JobFileError(where + "has no key " + host::Quoted(key));
    }
    const auto needed = [&](const char* key) -> const json& {
        const auto it = object.find(key);
        if (it == object.end() || it->is_null())
            throw JobFileError(where + "needs \"" + key + "\"");
        return *it;
    };
    // Numbers may be numbers or the text the dialog would hold.
    const auto number = [&](const char* key) {
        const json& v = needed(key);
        std::optional<double> n;
        if (v.is_number()) n = v.get<double>();
        if (v.is_string()) n = host::ParseNumber(v.get<std::string>());
        if (!n)
            throw JobFileError("\"" + std::string(key) + "\" must be a number, not " + Shown(v));
        return *n;
    };
    const auto whole = [&](const char* key) {
        // Numbers are finite here; past a billion no count makes sense, and an int holds it.
        const double n = number(key);
        if (n != std::trunc(n) || std::abs(n) > 1e9)
            throw JobFileError("\"" + std::string(key) + "\" must be a whole number, not " +
                               Shown(needed(key)));
        return static_cast<int>(n);
    };
    exam::WrittenSection s;
    s.kind = form->kind;
    const json& name = needed("name");
    if (!name.is_string()) throw JobFileError("\"name\" must be text, not " + Shown(name));
    s.name = name.get<std::string>();
    s.items = essay ? 1 : whole("items");
    SetCount(s, whole(form->count));
    s.points = number("points");
    return s;
}

}  // namespace varelo::cli
