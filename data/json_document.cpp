#include "data/json_document.h"

#include <set>
#include <vector>

namespace tessarin {
namespace {

using Json = nlohmann::json;

// Accepts any document: with strict off, a parse with it says whether the bytes start with one whole value.
struct AnyValue {
    bool null() { return true; }
    bool boolean(bool /*value*/) { return true; }
    bool number_integer(Json::number_integer_t /*value*/) { return true; }
    bool number_unsigned(Json::number_unsigned_t /*value*/) { return true; }
    bool number_float(Json::number_float_t /*value*/, const std::string& /*text*/) { return true; }
    bool string(std::string& /*value*/) { return true; }
    bool binary(Json::binary_t& /*value*/) { return true; }
    bool start_object(std::size_t /*size*/) { return true; }
    bool key(std::string& /*value*/) { return true; }
    bool end_object() { return true; }
    bool start_array(std::size_t /*size*/) { return true; }
    bool end_array() { return true; }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const nlohmann::detail::exception& /*e*/) {
        return false;
    }
};

bool startsWithWholeValue(std::string_view bytes) {
    AnyValue any;
    return Json::sax_parse(bytes.begin(), bytes.end(), &any, Json::input_format_t::json, false);
}

}  // namespace

// The parser keeps the last of two equal keys without a
// word, so the keys of each object are watched as they come.
JsonDocument ParseJsonDocument(std::string_view bytes) {
    // The parser takes a NUL for the end of the input: what follows one would go unseen.
    const std::string_view document = bytes.substr(0, bytes.find('\0'));
    std::vector<std::set<std::string>> openObjects;
    std::string duplicate;
    const Json::parser_callback_t watchKeys = [&](int /*depth*/, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) {
            openObjects.emplace_back();
        } else if (event == Json::parse_event_t::object_end && !openObjects.empty()) {
            openObjects.pop_back();
        } else if (event == Json::parse_event_t::key && !openObjects.empty() && duplicate.empty() &&
                   !openObjects.back().insert(parsed.get<std::string>()).second) {
            duplicate = parsed.get<std::string>();
        }
        return true;
    };
    JsonDocument parsed;
    parsed.root = Json::parse(document.begin(), document.end(), watchKeys, false);
    if (parsed.root.is_discarded()) {
        parsed.error = startsWithWholeValue(document) ? JsonDocumentError::TrailingData : JsonDocumentError::NotJson;
    } else if (document.size() != bytes.size()) {
        parsed.error = JsonDocumentError::TrailingData;
    } else if (!duplicate.empty()) {
        parsed.error = JsonDocumentError::DuplicateKey;
        parsed.duplicateKey = std::move(duplicate);
    }
    if (parsed.error != JsonDocumentError::None) {
        parsed.root = Json();
    }
    return parsed;
}

}  // namespace tessarin
