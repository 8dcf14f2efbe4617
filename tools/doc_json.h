#pragma once

// The JSON form of a tree document, shared by `lumora-data dump` and
// `lumora-data build`. It keeps everything the file holds, so dumping a
// document and building it again gives the same bytes:
//
//   node       {"name": NAME, "attributes": [attribute...], "children": [node...]}
//   attribute  {"name": NAME, "type": TYPE, "value": VALUE}
//   NAME       a JSON string, or {"hex": "..."} for bytes that are not UTF-8
//   TYPE       "Unset" "Int" "Bool" "Raw32A" "Raw32B" "Raw64" "String"
//              "WString" "Blob", or the code 9 to 255 (then no "value")
//
// Values: Int a signed 32-bit number; Unset, Raw32A, Raw32B an unsigned
// 32-bit word; Bool true/false, or the word when it is neither 1 nor 0;
// Raw64 16 lower-case hex digits (the bytes in file order); String like a
// NAME; WString a JSON string, or {"units": [n...]} when it is not valid
// UTF-16; Blob {"base64": "..."}. Called from the tool's one thread.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "document/doc_node.h"

namespace lumora::tools {

// Keys come in the order of the form above; lists in file order.
nlohmann::ordered_json DocumentToJson(const DocNode& root);

// Builds a document from its JSON form. On a fault: null,
// with `fault` naming the JSON path and what is wrong there, e.g.
// "$.children[3].attributes[0].value: Int needs a whole number ...".
// Two attributes or two children of one node with the same name are a
// fault: the file format would keep only the first.
std::unique_ptr<DocNode> DocumentFromJson(const nlohmann::json& json, std::string& fault);

// Parses JSON text; false with a message for a syntax error or an object
// that has the same key twice.
bool ParseJsonText(std::string_view text, nlohmann::json& json, std::string& fault);

}  // namespace lumora::tools
