// A JSON document read from outside: the whole of it, with no key twice in an object and nothing after it.
// The files the program reads back (settings files, the visit archive) take their fields from it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tessarin {

enum class JsonDocumentError {
    None,
    NotJson,       // not JSON, damaged or cut short
    DuplicateKey,  // a key appears twice in one object (which of the two was meant is unknown)
    TrailingData,  // something other than white space (a NUL included) after the document
};

// The parser's value moves without throwing; the check takes the assertion inside its move for a throw.
struct JsonDocument {  // NOLINT(bugprone-exception-escape)
    JsonDocumentError error = JsonDocumentError::None;
    std::string duplicateKey;  // the first key found twice, for DuplicateKey
    nlohmann::json root;       // the document, for None
};

// Parses `bytes`. Never throws.
JsonDocument ParseJsonDocument(std::string_view bytes);

}  // namespace tessarin
