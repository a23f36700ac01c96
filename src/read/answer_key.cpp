#include "read/answer_key.h"

#include <nlohmann/json.hpp>

#include "read/input_file.h"
#include "read/read_error.h"

namespace varelo::read {

AnswerKey ParseAnswerKey(const std::string& text, const layout::OmrTemplate& t) {
    nlohmann::json root;
    try {
        root = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        // A number past the range of double is an out_of_range error, not a parse_error.
        throw ReadError(std::string("the key is not valid JSON: ") + e.what());
    }
    if (!root.is_object()) throw ReadError("the key must be an object {\"1\": \"A\", ...}");
    std::map<std::string, const layout::OmrItem*> items;
    for (const layout::OmrItem& i : t.items) items.emplace(std::to_string(i.number), &i);
    AnswerKey key;
    for (const auto& entry : root.items()) {
        const std::string& number = entry.key();
        const nlohmann::json& value = entry.value();
        const auto found = items.find(number);
        if (found == items.end())
            throw ReadError("the key names item \"" + number +
                            "\", which the template does not have");
        const layout::OmrItem* item = found->second;
        if (!value.is_string())
            throw ReadError("the key of item " + number + " must be text such as \"BD\"");
        // Put the labels in template order, so "DB" and "BD" are one answer.
        std::string labels = value.get<std::string>(), ordered;
        for (const layout::OmrBubble& option : item->options) {
            const size_t at = labels.find(option.value);
            if (at == std::string::npos) continue;
            ordered += option.value;
            labels.erase(at, option.value.size());
        }
        if (!labels.empty())
            throw ReadError("the key of item " + number + " holds \"" + labels +
                            "\", which is not an option of the item");
        key[item->number] = ordered;
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
