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

// A true-or-false answer as teachers write it: √ or 对 for T, × or 错 for F.
std::string TrueFalseLabels(const std::string& written) {
    static const std::pair<std::string_view, char> kSigns[] = {
        {"√", 'T'}, {"对", 'T'}, {"×", 'F'}, {"错", 'F'}};
    std::string out;
    for (size_t at = 0; at < written.size();) {
        bool replaced = false;
        for (const auto& [sign, label] : kSigns)
            if (written.compare(at, sign.size(), sign) == 0) {
                out += label;
                at += sign.size();
                replaced = true;
                break;
            }
        if (!replaced) out += written[at++];
    }
    return out;
}

// The options a key answer names, read left to right as written, the longest label first where
// one label begins another ("1" and "10"), per option of the item. Throws ReadError.
std::vector<bool> Labels(const std::string& written, const std::string& asTyped,
                         const layout::OmrItem& item, const std::string& number) {
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
            throw ReadError("the key of item " + number + ", " + Shown(asTyped) + ", holds " +
                            Shown(written.substr(at, length)) +
                            ", which is not an option of the item");
        }
        if (named[best])
            throw ReadError("the key of item " + number + ", " + Shown(asTyped) + ", names " +
                            Shown(item.options[best].value) + " twice");
        named[best] = true;
        at += item.options[best].value.size();
    }
    return named;
}

bool HasItem(const layout::OmrTemplate& t, const std::string& number) {
    return std::any_of(t.items.begin(), t.items.end(), [&](const layout::OmrItem& i) {
        return std::to_string(i.number) == number;
    });
}

std::optional<KeyRule> RuleNamed(const std::string& name) {
    for (const KeyRule r : {KeyRule::All, KeyRule::Partial, KeyRule::PerOption})
        if (name == RuleName(r)) return r;
    return std::nullopt;
}

// "1-4, 7, 9-10": item numbers, ascending, as ranges.
std::string Ranges(const std::vector<int>& numbers) {
    std::string out;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        if (!out.empty()) out += ", ";
        out += std::to_string(numbers[i]);
        if (j > i) out += "-" + std::to_string(numbers[j]);
        i = j + 1;
    }
    return out;
}

// A key's points in JSON: a number, or a number as text, in hundredths.
std::optional<host::Score> JsonPoints(const nlohmann::ordered_json& v, const std::string& what) {
    std::optional<host::Score> s;
    if (v.is_number() && !v.is_number_float())
        s = v.is_number_unsigned() ? host::Score::FromDouble(static_cast<double>(v.get<uint64_t>()))
                                   : host::Score::FromDouble(static_cast<double>(v.get<int64_t>()));
    else if (v.is_number_float())
        s = host::Score::FromDouble(v.get<double>());
    else if (v.is_string())
        s = host::Score::Parse(v.get<std::string>());
    if (!s)
        throw ReadError(what + ", " + host::Shortened(v.dump()) +
                        ", must be a number of points from 0 to 1000000 with at most two "
                        "decimals");
    return s;
}

// A versioned key's item: "ABD", or {"answer": "ABD", "points": 6, "rule": "partial",
// "partial": 2}.
KeyEntry JsonEntry(const std::string& number, const nlohmann::ordered_json& value) {
    KeyEntry e{"", number, "", {}, {}, ""};
    if (value.is_string()) {
        e.answer = value.get<std::string>();
        return e;
    }
    const std::string of = "the key of item " + number;
    if (!value.is_object())
        throw ReadError(of + " must be text such as \"BD\" or an object {\"answer\": \"BD\", ...}");
    for (const auto& field : value.items()) {
        const std::string& name = field.key();
        const nlohmann::ordered_json& v = field.value();
        if (name == "answer") {
            if (!v.is_string()) throw ReadError(of + ": answer must be text such as \"BD\"");
            e.answer = v.get<std::string>();
        } else if (name == "points") {
            e.points = JsonPoints(v, of + ": points");
        } else if (name == "partial") {
            e.partial = JsonPoints(v, of + ": partial");
        } else if (name == "rule") {
            if (!v.is_string())
                throw ReadError(of + ": rule must be \"all\", \"partial\" or \"perOption\"");
            e.rule = v.get<std::string>();
        } else {
            throw ReadError(of + " has " + Shown(name) +
                            ", which a key item does not (answer, points, rule, partial)");
        }
    }
    if (!value.contains("answer")) throw ReadError(of + " has no answer");
    return e;
}

}  // namespace

const char* RuleName(KeyRule rule) {
    switch (rule) {
        case KeyRule::Partial:
            return "partial";
        case KeyRule::PerOption:
            return "perOption";
        case KeyRule::All:
            break;
    }
    return "all";
}

AnswerKey MakeAnswerKey(const std::vector<KeyEntry>& entries, const layout::OmrTemplate& t,
                        KeyOptions options) {
    std::map<std::string, const layout::OmrItem*> items;
    for (const layout::OmrItem& i : t.items) items.emplace(std::to_string(i.number), &i);
    std::vector<std::string> faults;
    std::map<std::string, std::string> seen;  // item as written → where it was
    AnswerKey key;
    for (const KeyEntry& e : entries) {
        try {
            const auto [first, added] = seen.emplace(e.item, e.where);
            if (!added)
                throw ReadError(
                    "the key names item " + Shown(e.item) + " twice" +
                    (first->second.empty()
                         ? ""
                         : " (also " + first->second.substr(0, first->second.size() - 2) + ")"));
            const auto found = items.find(e.item);
            if (found == items.end())
                throw ReadError("the key names item " + Shown(e.item) +
                                ", which the template does not have");
            const layout::OmrItem& item = *found->second;
            KeyItem k;
            const bool trueFalse = item.group >= 1 &&
                                   static_cast<size_t>(item.group) <= t.groups.size() &&
                                   t.groups[static_cast<size_t>(item.group - 1)].labels == "判断";
            k.options =
                Labels(trueFalse ? TrueFalseLabels(e.answer) : e.answer, e.answer, item, e.item);
            for (size_t o = 0; o < item.options.size(); ++o)
                if (k.options[o]) k.answer += item.options[o].value;
            const std::string of = "the key of item " + e.item;
            if (e.points) {
                k.points = *e.points;
            } else if (const auto p = host::Score::FromDouble(item.points)) {
                k.points = *p;
            } else {
                throw ReadError(of + ": the template gives the item " +
                                std::to_string(item.points) +
                                " points, more than two decimals; give its points in the key");
            }
            const std::string rule = e.rule.empty() && e.partial ? "partial" : e.rule;
            const auto r = rule.empty() ? std::optional(KeyRule::All) : RuleNamed(rule);
            if (!r)
                throw ReadError(of + " has the rule " + Shown(rule) +
                                ", which is none of \"all\", \"partial\" and \"perOption\"");
            k.rule = *r;
            if (k.rule == KeyRule::Partial) {
                if (!e.partial)
                    throw ReadError(of + " has the rule \"partial\" but no partial points");
                if (*e.partial >= k.points)
                    throw ReadError(of + " gives " + e.partial->Text() +
                                    " partial points, not fewer than its " + k.points.Text());
                k.partial = *e.partial;
            } else if (e.partial) {
                throw ReadError(of + " gives partial points under the rule \"" + RuleName(k.rule) +
                                "\", which has none");
            }
            key.emplace(item.number, std::move(k));
        } catch (const ReadError& error) {
            faults.push_back(e.where + error.what());
        }
    }
    if (faults.empty() && !options.allowPartialKey) {
        std::vector<int> missing;
        for (const layout::OmrItem& i : t.items)
            if (!key.count(i.number)) missing.push_back(i.number);
        if (!missing.empty())
            faults.push_back("the key leaves out item" +
                             std::string(missing.size() > 1 ? "s " : " ") + Ranges(missing) +
                             " (to score only the items it names, use --allow-partial-key)");
    }
    if (!faults.empty()) {
        std::string message;
        constexpr size_t kShown = 10;
        for (size_t i = 0; i < faults.size() && i < kShown; ++i)
            message += (i ? "; " : "") + faults[i];
        if (faults.size() > kShown)
            message += "; and " + std::to_string(faults.size() - kShown) + " more";
        throw ReadError(message);
    }
    return key;
}

AnswerKey ParseAnswerKey(const std::string& text, const layout::OmrTemplate& t,
                         KeyOptions options) {
    // The parser keeps the last of two equal names: note the first one repeated, so that a key
    // naming an item twice is refused rather than scored by whichever came last.
    std::vector<std::set<std::string>> names;  // per object open
    std::optional<std::pair<int, std::string>> repeated;
    const nlohmann::ordered_json::parser_callback_t noteRepeats =
        [&](int depth, nlohmann::ordered_json::parse_event_t event,
            nlohmann::ordered_json& parsed) {
            if (event == nlohmann::ordered_json::parse_event_t::object_start) names.emplace_back();
            if (event == nlohmann::ordered_json::parse_event_t::object_end && !names.empty())
                names.pop_back();
            if (event == nlohmann::ordered_json::parse_event_t::key && !repeated &&
                !names.empty() && !names.back().insert(parsed.get<std::string>()).second)
                repeated = {depth, parsed.get<std::string>()};
            return true;
        };
    nlohmann::ordered_json root;
    try {
        root = nlohmann::ordered_json::parse(text, noteRepeats);
    } catch (const nlohmann::ordered_json::exception& e) {
        // A number past the range of double is an out_of_range error, not a parse_error.
        throw ReadError(std::string("the key is not valid JSON: ") + e.what());
    }
    if (!root.is_object()) throw ReadError("the key must be an object {\"1\": \"A\", ...}");
    const bool versioned = root.contains("format");
    if (repeated) {
        if (repeated->first == (versioned ? 2 : 1))
            throw ReadError("the key names item " + Shown(repeated->second) + " twice");
        throw ReadError("the key gives " + Shown(repeated->second) + " twice");
    }
    std::vector<KeyEntry> entries;
    if (!versioned) {
        for (const auto& entry : root.items()) {
            if (!entry.value().is_string()) {
                if (!HasItem(t, entry.key()))  // said first, whatever the value
                    throw ReadError("the key names item " + Shown(entry.key()) +
                                    ", which the template does not have");
                throw ReadError("the key of item " + entry.key() + " must be text such as \"BD\"");
            }
            entries.push_back({"", entry.key(), entry.value().get<std::string>(), {}, {}, ""});
        }
        return MakeAnswerKey(entries, t, options);
    }
    if (root["format"] != "varelo-key")
        throw ReadError("the key's format is " + Shown(root["format"].dump()) +
                        ", not \"varelo-key\"");
    const nlohmann::ordered_json& version = root.contains("version") ? root["version"] : nullptr;
    if (!version.is_number_integer())
        throw ReadError("the key has no version: \"version\": 1 is the one this Varelo reads");
    if (version != 1)
        throw ReadError("the key is of version " + version.dump() +
                        ", which this Varelo does not read: it reads version 1");
    for (const auto& field : root.items())
        if (field.key() != "format" && field.key() != "version" && field.key() != "items")
            throw ReadError("the key has " + Shown(field.key()) +
                            ", which a key does not (format, version, items)");
    if (!root.contains("items") || !root["items"].is_object())
        throw ReadError("the key's items must be an object {\"1\": \"A\", ...}");
    for (const auto& entry : root["items"].items()) {
        if (!HasItem(t, entry.key()))  // said first, whatever the value
            throw ReadError("the key names item " + Shown(entry.key()) +
                            ", which the template does not have");
        entries.push_back(JsonEntry(entry.key(), entry.value()));
    }
    return MakeAnswerKey(entries, t, options);
}

AnswerKey LoadAnswerKey(const std::string& path, const layout::OmrTemplate& t, KeyOptions options) {
    const std::string text = ReadInputFile(path, "the key");
    try {
        return ParseAnswerKey(text, t, options);
    } catch (const ReadError& e) {
        throw ReadError(path + ": " + e.what());
    }
}

host::Score ItemScore(const KeyItem& key, const std::vector<bool>& filled) {
    int64_t right = 0, size = 0;
    for (size_t o = 0; o < key.options.size(); ++o) {
        const bool f = o < filled.size() && filled[o];
        if (f && !key.options[o]) return {};  // a wrong option spoils the item
        right += f && key.options[o];
        size += key.options[o];
    }
    if (right == 0) return {};
    if (right == size) return key.points;
    switch (key.rule) {
        case KeyRule::Partial:
            return key.partial;
        case KeyRule::PerOption:
            return key.points.Share(right, size);
        case KeyRule::All:
            break;
    }
    return {};
}

}  // namespace varelo::read
