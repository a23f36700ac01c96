#include "scores/answer_key.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "base/input_file.h"
#include "base/printable.h"
#include "base/read_error.h"
#include "base/utf8.h"

namespace varelo::read {

namespace {

// A key or value echoed in a message: quoted, cut short, with control characters spelt out.
std::string Shown(std::string_view text) {
    return host::Quoted(host::Shortened(text));
}

// The options a key answer names, read left to right as written, the longest label first where
// one label begins another ("1" and "10"). Returns them in template order, so "DB" and "BD" are
// one answer.
std::string Labels(const std::string& written, const layout::OmrItem& item,
                   const std::string& number) {
    if (written.empty())
        throw ReadError("the key of item " + number +
                        " is empty (\"\"): a key answer names at least one option");
    std::vector<bool> named(item.options.size(), false);
    for (size_t at = 0; at < written.size();) {
        size_t best = item.options.size();
        for (size_t o = 0; o < item.options.size(); ++o) {
            const std::string& label = item.options[o].value;
            if (written.compare(at, label.size(), label) == 0 &&
                (best == item.options.size() || label.size() > item.options[best].value.size()))
                best = o;
        }
        if (best == item.options.size()) {
            char32_t cp = 0;
            const size_t length = std::max<size_t>(1, host::DecodeUtf8(written, at, cp));
            throw ReadError("the key of item " + number + ", " + Shown(written) + ", holds " +
                            Shown(written.substr(at, length)) +
                            ", which is not an option of the item");
        }
        if (named[best])
            throw ReadError("the key of item " + number + ", " + Shown(written) + ", names " +
                            Shown(item.options[best].value) + " twice");
        named[best] = true;
        at += item.options[best].value.size();
    }
    std::string ordered;
    for (size_t o = 0; o < item.options.size(); ++o)
        if (named[o]) ordered += item.options[o].value;
    return ordered;
}

}  // namespace

AnswerKey ParseAnswerKey(const std::string& text, const layout::OmrTemplate& t) {
    // The parser keeps the last of two equal names: note the first one repeated, so that a key
    // naming an item twice is refused rather than scored by whichever came last.
    std::set<std::string> names;
    std::optional<std::string> repeated;
    const nlohmann::json::parser_callback_t noteRepeats =
        [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
            if (depth == 1 && event == nlohmann::json::parse_event_t::key && !repeated &&
                !names.insert(parsed.get<std::string>()).second)
                repeated = parsed.get<std::string>();
            return true;
        };
    nlohmann::json root;
    try {
        root = nlohmann::json::parse(text, noteRepeats);
    } catch (const nlohmann::json::exception& e) {
        // A number past the range of double is an out_of_range error, not a parse_error.
        throw ReadError(std::string("the key is not valid JSON: ") + e.what());
    }
    if (!root.is_object()) throw ReadError("the key must be an object {\"1\": \"A\", ...}");
    if (repeated) throw ReadError("the key names item " + Shown(*repeated) + " twice");
    std::map<std::string, const layout::OmrItem*> items;
    for (const layout::OmrItem& i : t.items) items.emplace(std::to_string(i.number), &i);
    AnswerKey key;
    for (const auto& entry : root.items()) {
        const std::string& number = entry.key();
        const nlohmann::json& value = entry.value();
        const auto found = items.find(number);
        if (found == items.end())
            throw ReadError("the key names item " + Shown(number) +
                            ", which the template does not have");
        if (!value.is_string())
            throw ReadError("the key of item " + number + " must be text such as \"BD\"");
        key[found->second->number] = Labels(value.get<std::string>(), *found->second, number);
    }
    return key;
}

AnswerKey LoadAnswerKey(const std::string& path, const layout::OmrTemplate& t) {
    const std::string text = ReadInputFile(path, "the key");
    try {
        return ParseAnswerKey(text, t);
    } catch (const ReadError& e) {
        throw ReadError(path + ": " + e.what());
    }
}

}  // namespace varelo::read
