#include "tools/doc_json.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "document/text_encoding.h"

namespace lumora::tools {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr std::array<const char*, 9> kTypeNames = {"Unset", "Int",    "Bool",    "Raw32A", "Raw32B",
                                                   "Raw64", "String", "WString", "Blob"};

// ---------------------------------------------------------------- text codecs

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string ToHex(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    text.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        text.push_back(kHexDigits[bytes[i] >> 4]);
        text.push_back(kHexDigits[bytes[i] & 15]);
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;  // upper case is not the form
}

std::optional<std::string> FromHex(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = HexValue(text[i]);
        int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

std::string ToBase64(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    text.reserve((n + 2) / 3 * 4);
    for (std::size_t i = 0; i < n; i += 3) {
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (i + 1 < n)
            group |= std::uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < n)
            group |= bytes[i + 2];
        text.push_back(kBase64Digits[(group >> 18) & 63]);
        text.push_back(kBase64Digits[(group >> 12) & 63]);
        text.push_back(i + 1 < n ? kBase64Digits[(group >> 6) & 63] : '=');
        text.push_back(i + 2 < n ? kBase64Digits[group & 63] : '=');
    }
    return text;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Padded standard base64 only, with unused bits zero, so that every blob has
// exactly one spelling.
std::optional<std::string> FromBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int padding = 0;
        if (last && text[i + 3] == '=')
            padding = text[i + 2] == '=' ? 2 : 1;
        std::uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            int value = k >= 4 - padding ? 0 : Base64Value(text[i + k]);
            if (value < 0)
                return std::nullopt;
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        bytes.push_back(static_cast<char>(group >> 16));
        if (padding < 2)
            bytes.push_back(static_cast<char>(group >> 8));
        if (padding < 1)
            bytes.push_back(static_cast<char>(group));
        if ((padding == 2 && (group & 0xFFFF) != 0) || (padding == 1 && (group & 0xFF) != 0))
            return std::nullopt;
    }
    return bytes;
}

// ---------------------------------------------------------------- document -> JSON

ordered_json NarrowToJson(const std::string& text) {
    if (IsValidUtf8(text))
        return text;
    return ordered_json{
        {"hex", ToHex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())}};
}

ordered_json WideToJson(const std::u16string& text) {
    if (IsValidUtf16(text))
        return ToUtf8(text);
    ordered_json units = ordered_json::array();
    for (char16_t unit : text)
        units.push_back(static_cast<unsigned>(unit));
    return ordered_json{{"units", std::move(units)}};
}

ordered_json AttributeToJson(const DocAttribute& attribute) {
    ordered_json out = ordered_json::object();
    out["name"] = NarrowToJson(attribute.Name());
    std::uint32_t code = attribute.TypeCode();
    if (code >= kTypeNames.size()) {
        out["type"] = code;
        return out;
    }
    out["type"] = kTypeNames[code];
    ordered_json& value = out["value"];
    switch (attribute.Type()) {
    case ValueType::Int: value = static_cast<std::int32_t>(attribute.Word()); break;
    case ValueType::Bool:
        if (attribute.Word() <= 1)
            value = attribute.Word() == 1;
        else
            value = attribute.Word();
        break;
    case ValueType::Raw64: {
        static constexpr Raw64Block kZero{};
        const Raw64Block* block = attribute.Raw64() ? attribute.Raw64() : &kZero;
        value = ToHex(block->data(), block->size());
        break;
    }
    case ValueType::String:
        value = NarrowToJson(attribute.String() ? *attribute.String() : std::string());
        break;
    case ValueType::WString:
        value = WideToJson(attribute.WString() ? *attribute.WString() : std::u16string());
        break;
    case ValueType::Blob: {
        const MemoryStream* blob = attribute.Blob();
        value =
            ordered_json{{"base64", blob ? ToBase64(blob->Data(), blob->Size()) : std::string()}};
        break;
    }
    default:  // Unset, Raw32A, Raw32B
        value = attribute.Word();
        break;
    }
    return out;
}

// ---------------------------------------------------------------- JSON -> document

// Walks the JSON form, keeping the path of the value at hand for messages.
class JsonToDocument {
public:
    explicit JsonToDocument(std::string& fault) : fault_(fault) {}

    // The root: its name, then everything below it.
    std::unique_ptr<DocNode> Root(const json& in) {
        std::string name;
        if (!NodeName(in, "$", name))
            return nullptr;
        auto root = std::make_unique<DocNode>(std::move(name));
        if (!Body(in, *root, "$"))
            return nullptr;
        return root;
    }

    bool Fail(const std::string& path, const std::string& what) {
        fault_ = path + ": " + what;
        return false;
    }

private:
    // `in` must be an object whose keys are all `allowed` and include every `required`.
    bool Keys(const json& in, const std::string& path, std::initializer_list<const char*> allowed,
              std::initializer_list<const char*> required) {
        if (!in.is_object())
            return Fail(path, std::string("expected an object, found ") + in.type_name());
        for (const auto& item : in.items()) {
            bool known = false;
            for (const char* key : allowed)
                known = known || item.key() == key;
            if (!known)
                return Fail(path, "unknown key \"" + item.key() + "\"");
        }
        for (const char* key : required) {
            if (!in.contains(key))
                return Fail(path, std::string("missing key \"") + key + "\"");
        }
        return true;
    }

    // A node object with its name checked; the name is read into `name`.
    bool NodeName(const json& in, const std::string& path, std::string& name) {
        return Keys(in, path, {"name", "attributes", "children"}, {"name"}) &&
               Narrow(in.at("name"), path + ".name", name);
    }

    // The attributes and children of a node object whose name was read.
    bool Body(const json& in, DocNode& node, const std::string& path) {
        return Attributes(in, node, path) && Children(in, node, path);
    }

    // The array under `key`, or null when the key is absent (an empty list).
    bool List(const json& in, const char* key, const std::string& path, const json*& list) {
        list = nullptr;
        auto found = in.find(key);
        if (found == in.end())
            return true;
        if (!found->is_array())
            return Fail(path + "." + key,
                        std::string("expected an array, found ") + found->type_name());
        list = &*found;
        return true;
    }

    bool Attributes(const json& in, DocNode& node, const std::string& path) {
        const json* list = nullptr;
        if (!List(in, "attributes", path, list))
            return false;
        if (!list)
            return true;
        std::unordered_map<std::string, std::size_t> seen;
        for (std::size_t i = 0; i < list->size(); ++i) {
            std::string at = path + ".attributes[" + std::to_string(i) + "]";
            const json& item = (*list)[i];
            std::string name;
            if (!Keys(item, at, {"name", "type", "value"}, {"name", "type"}) ||
                !Narrow(item.at("name"), at + ".name", name))
                return false;
            auto [first, fresh] = seen.emplace(name, i);
            if (!fresh) {
                return Fail(at + ".name", "duplicate attribute name (first at " + path +
                                              ".attributes[" + std::to_string(first->second) +
                                              "]); a file keeps only the first");
            }
            auto attribute = std::make_unique<DocAttribute>(std::move(name));
            if (!Value(item, *attribute, at))
                return false;
            node.SetAttribute(std::move(attribute));
        }
        return true;
    }

    bool Children(const json& in, DocNode& node, const std::string& path) {
        const json* list = nullptr;
        if (!List(in, "children", path, list))
            return false;
        if (!list)
            return true;
        std::unordered_map<std::string, std::size_t> seen;
        for (std::size_t i = 0; i < list->size(); ++i) {
            std::string at = path + ".children[" + std::to_string(i) + "]";
            const json& item = (*list)[i];
            std::string name;
            if (!NodeName(item, at, name))
                return false;
            auto [first, fresh] = seen.emplace(name, i);
            if (!fresh) {
                return Fail(at + ".name", "duplicate child name (first at " + path + ".children[" +
                                              std::to_string(first->second) +
                                              "]); a file keeps only the first");
            }
            // A reader refuses deeper documents, so none is written.
            if (depth_ + 1 > DocNode::kMaxDepth)
                return Fail(at,
                            "nested deeper than " + std::to_string(DocNode::kMaxDepth) + " levels");
            DocNode* child = node.AddChild(name);
            ++depth_;
            bool ok = Body(item, *child, at);
            --depth_;
            if (!ok)
                return false;
        }
        return true;
    }

    bool Value(const json& item, DocAttribute& attribute, const std::string& at) {
        const json& type = item.at("type");
        std::string typePath = at + ".type";
        std::uint32_t code = 0;
        if (type.is_string()) {
            const auto& text = type.get_ref<const std::string&>();
            code = kTypeNames.size();
            for (std::uint32_t k = 0; k < kTypeNames.size(); ++k) {
                if (text == kTypeNames[k])
                    code = k;
            }
            if (code == kTypeNames.size())
                return Fail(typePath, "unknown type \"" + text + "\"");
        } else if (type.is_number_unsigned() && type.get<std::uint64_t>() >= kTypeNames.size() &&
                   type.get<std::uint64_t>() <= kLastValueTypeCode) {
            if (item.contains("value"))
                return Fail(at + ".value", "type " + type.dump() + " carries no value");
            attribute.SetBareType(type.get<std::uint32_t>());
            return true;
        } else {
            return Fail(typePath, "expected a type name, or a code from 9 to 255");
        }
        if (!item.contains("value"))
            return Fail(at, "missing key \"value\"");
        const json& value = item.at("value");
        std::string path = at + ".value";
        auto valueType = static_cast<ValueType>(code);
        switch (valueType) {
        case ValueType::Int: {
            if (!value.is_number_integer() || value.get<std::int64_t>() < INT32_MIN ||
                (value.is_number_unsigned() ? value.get<std::uint64_t>() > INT32_MAX
                                            : value.get<std::int64_t>() > INT32_MAX))
                return Fail(path, "Int needs a whole number from -2147483648 to 2147483647");
            attribute.SetInt(static_cast<std::int32_t>(value.get<std::int64_t>()));
            return true;
        }
        case ValueType::Bool:
            if (value.is_boolean()) {
                attribute.SetBool(value.get<bool>());
                return true;
            }
            [[fallthrough]];
        case ValueType::Unset:
        case ValueType::Raw32A:
        case ValueType::Raw32B: {
            if (!value.is_number_unsigned() || value.get<std::uint64_t>() > UINT32_MAX) {
                return Fail(path, std::string(kTypeNames[code]) + " needs " +
                                      (valueType == ValueType::Bool ? "true, false or " : "") +
                                      "a whole number from 0 to 4294967295");
            }
            attribute.SetWord(valueType, value.get<std::uint32_t>());
            return true;
        }
        case ValueType::Raw64: {
            std::optional<std::string> bytes;
            if (value.is_string() && value.get_ref<const std::string&>().size() == 16)
                bytes = FromHex(value.get_ref<const std::string&>());
            if (!bytes)
                return Fail(path, "Raw64 needs a string of 16 lower-case hex digits");
            Raw64Block block{};
            std::copy(bytes->begin(), bytes->end(), block.begin());
            attribute.SetRaw64(block);
            return true;
        }
        case ValueType::String: {
            std::string text;
            if (!Narrow(value, path, text))
                return false;
            attribute.SetString(std::move(text));
            return true;
        }
        case ValueType::WString: {
            std::u16string text;
            if (!Wide(value, path, text))
                return false;
            attribute.SetWString(std::move(text));
            return true;
        }
        case ValueType::Blob: return Blob(value, path, attribute);
        }
        return Fail(typePath, "unknown type");
    }

    // A JSON string (UTF-8) or {"hex": "..."}.
    bool Narrow(const json& in, const std::string& path, std::string& text) {
        if (in.is_string()) {
            text = in.get<std::string>();
            return true;
        }
        if (!in.is_object())
            return Fail(
                path, std::string("expected a string or {\"hex\": ...}, found ") + in.type_name());
        if (!Keys(in, path, {"hex"}, {"hex"}))
            return false;
        const json& hex = in.at("hex");
        std::optional<std::string> bytes;
        if (hex.is_string())
            bytes = FromHex(hex.get_ref<const std::string&>());
        if (!bytes)
            return Fail(path + ".hex", "expected an even number of lower-case hex digits");
        text = std::move(*bytes);
        return true;
    }

    // A JSON string or {"units": [n...]}.
    bool Wide(const json& in, const std::string& path, std::u16string& text) {
        if (in.is_string()) {
            text = FromUtf8(in.get_ref<const std::string&>());
            return true;
        }
        if (!in.is_object())
            return Fail(path, std::string("expected a string or {\"units\": [...]}, found ") +
                                  in.type_name());
        if (!Keys(in, path, {"units"}, {"units"}))
            return false;
        const json& units = in.at("units");
        if (!units.is_array())
            return Fail(path + ".units", "expected an array of UTF-16 code units");
        text.clear();
        for (std::size_t i = 0; i < units.size(); ++i) {
            const json& unit = units[i];
            if (!unit.is_number_unsigned() || unit.get<std::uint64_t>() > 0xFFFF)
                return Fail(path + ".units[" + std::to_string(i) + "]",
                            "expected a number from 0 to 65535");
            text.push_back(static_cast<char16_t>(unit.get<std::uint32_t>()));
        }
        return true;
    }

    bool Blob(const json& in, const std::string& path, DocAttribute& attribute) {
        if (!Keys(in, path, {"base64"}, {"base64"}))
            return false;
        const json& text = in.at("base64");
        std::optional<std::string> bytes;
        if (text.is_string())
            bytes = FromBase64(text.get_ref<const std::string&>());
        if (!bytes)
            return Fail(path + ".base64", "expected padded standard base64");
        if (bytes->size() > UINT32_MAX)
            return Fail(path + ".base64", "a blob holds at most 4294967295 bytes");
        MemoryStream blob;
        if (!bytes->empty() &&
            blob.Write(bytes->data(), static_cast<std::uint32_t>(bytes->size())) != bytes->size())
            return Fail(path + ".base64", "out of memory");
        blob.Seek(0, SeekOrigin::Begin);
        attribute.SetBlob(std::move(blob));
        return true;
    }

    std::string& fault_;
    int depth_ = 0;
};

}  // namespace

ordered_json DocumentToJson(const DocNode& root) {
    ordered_json out = ordered_json::object();
    out["name"] = NarrowToJson(root.Name());
    ordered_json attributes = ordered_json::array();
    for (const auto& attribute : root.Attributes())
        attributes.push_back(AttributeToJson(*attribute));
    out["attributes"] = std::move(attributes);
    ordered_json children = ordered_json::array();
    for (const auto& child : root.Children())
        children.push_back(DocumentToJson(*child));
    out["children"] = std::move(children);
    return out;
}

std::unique_ptr<DocNode> DocumentFromJson(const json& in, std::string& fault) {
    fault.clear();
    return JsonToDocument(fault).Root(in);
}

namespace {

// Tracks where the parser is, to name the place of a key given twice.
class DuplicateKeyCheck {
public:
    bool operator()(int depth, json::parse_event_t event, json& parsed) {
        (void)depth;
        switch (event) {
        case json::parse_event_t::object_start: frames_.push_back({false, 0, {}, {}}); break;
        case json::parse_event_t::array_start: frames_.push_back({true, 0, {}, {}}); break;
        case json::parse_event_t::key: {
            Frame& top = frames_.back();
            top.key = parsed.get<std::string>();
            if (!top.keys.insert(top.key).second && fault.empty())
                fault = Path() + ": the key \"" + top.key + "\" is given twice";
            break;
        }
        case json::parse_event_t::object_end:
        case json::parse_event_t::array_end:
            frames_.pop_back();
            Advance();
            break;
        case json::parse_event_t::value: Advance(); break;
        }
        return true;
    }

    std::string fault;

private:
    struct Frame {
        bool isArray;
        std::size_t index;
        std::string key;
        std::set<std::string> keys;
    };

    void Advance() {
        if (!frames_.empty() && frames_.back().isArray)
            ++frames_.back().index;
    }

    std::string Path() const {
        std::string path = "$";
        for (std::size_t i = 0; i + 1 < frames_.size(); ++i)
            path += frames_[i].isArray ? "[" + std::to_string(frames_[i].index) + "]"
                                       : "." + frames_[i].key;
        return path;
    }

    std::vector<Frame> frames_;
};

}  // namespace

bool ParseJsonText(std::string_view text, json& out, std::string& fault) {
    DuplicateKeyCheck check;
    try {
        out = json::parse(text, std::ref(check));
    } catch (const json::exception& error) {
        // Drop the library's "[json.exception.parse_error.101] " tag.
        std::string_view what = error.what();
        auto tag = what.find("] ");
        fault = std::string(tag == std::string_view::npos ? what : what.substr(tag + 2));
        return false;
    }
    if (!check.fault.empty()) {
        fault = check.fault;
        return false;
    }
    return true;
}

}  // namespace lumora::tools
