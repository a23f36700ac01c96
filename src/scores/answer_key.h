#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/score.h"
#include "omr/omr_template.h"

namespace varelo::read {

// How an item's filled bubbles earn its points. Any option filled that the answer lacks earns
// nothing, as does a blank item; the whole answer earns all the points.
enum class KeyRule {
    All,        // nothing for less than the whole answer
    Partial,    // `partial` points for some of the answer's options and no others
    PerOption,  // points × (options of the answer filled) ÷ (options in the answer), rounded
                // down to hundredths
};

// "all", "partial", "perOption".
const char* RuleName(KeyRule rule);

struct KeyItem {
    std::string answer;         // the labels of the options to fill, in template order ("BD")
    std::vector<bool> options;  // per option of the item: whether the answer names it
    host::Score points;         // the key's own for the item, else the template's
    KeyRule rule = KeyRule::All;
    host::Score partial;  // Partial only
    bool operator==(const KeyItem&) const = default;
};

// The right answers by item number.
using AnswerKey = std::map<int, KeyItem>;

// One item of a key as its file gives it, before it is checked against the template.
struct KeyEntry {
    std::string where;   // what a message about the entry begins with: "row 5: ", or ""
    std::string item;    // the item number as written
    std::string answer;  // as written: labels, or T/F, √/× or 对/错 for a true-or-false item
    std::optional<host::Score> points, partial;
    std::string rule;  // "" for all, or partial when `partial` is given
};

struct KeyOptions {
    // The key may leave out items of the template on purpose: they score nothing.
    bool allowPartialKey = false;
};

// The entries checked against the template's items and option labels, and each other. A key
// that names an item twice or one the template lacks, gives a label the item does not have
// or an empty answer, an unknown rule, a partial score that is not below the points, or that
// leaves out items without allowPartialKey, is refused with every fault (up to ten), naming
// the items. Throws ReadError.
AnswerKey MakeAnswerKey(const std::vector<KeyEntry>& entries, const layout::OmrTemplate& t,
                        KeyOptions options = {});

// The key as JSON: {"1": "A", "2": "BD", ...}, or
// {"format": "varelo-key", "version": 1, "items": {"9": {"answer": "ABD", "points": 6,
// "rule": "partial", "partial": 2}, "10": "C", ...}} (docs/answer-key.md). Throws ReadError.
AnswerKey ParseAnswerKey(const std::string& text, const layout::OmrTemplate& t,
                         KeyOptions options = {});
AnswerKey LoadAnswerKey(const std::string& path, const layout::OmrTemplate& t,
                        KeyOptions options = {});

// What the filled options (per option of the item, in template order) earn under the key.
host::Score ItemScore(const KeyItem& key, const std::vector<bool>& filled);

}  // namespace varelo::read
