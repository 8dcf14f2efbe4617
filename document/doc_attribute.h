#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "document/memory_stream.h"

namespace lumora {

// Value type codes; they are part of the file format. Codes 9 to 255 have
// no name and no value: they are kept and written back as a bare code.
enum class ValueType : std::uint32_t {
    Unset = 0,
    Int = 1,
    Bool = 2,
    Raw32A = 3,
    Raw32B = 4,
    Raw64 = 5,
    String = 6,
    WString = 7,
    Blob = 8,
};

constexpr std::uint32_t kLastValueTypeCode = 255;

using Raw64Block = std::array<std::uint8_t, 8>;

// One named, typed value of a node.
class DocAttribute {
public:
    explicit DocAttribute(std::string name) : name_(std::move(name)) {}
    DocAttribute(const DocAttribute&) = delete;
    DocAttribute& operator=(const DocAttribute&) = delete;

    const std::string& Name() const { return name_; }
    ValueType Type() const { return type_; }
    std::uint32_t TypeCode() const { return static_cast<std::uint32_t>(type_); }

    void SetInt(std::int32_t value);
    void SetBool(bool value);
    void SetString(std::string value);
    void SetWString(std::u16string value);
    // For the kinds that the program itself never makes (they come from
    // files); the data tool builds them from their text form.
    void SetWord(ValueType type, std::uint32_t word);  // Unset, Int, Bool, Raw32A, Raw32B
    void SetRaw64(const Raw64Block& block);
    void SetBlob(MemoryStream blob);
    void SetBareType(std::uint32_t code);  // 9 to 255

    // The stored 32-bit word of types 0 to 4, else 0.
    std::uint32_t Word() const;
    // Each yields the value of its own type; null when the type differs.
    const Raw64Block* Raw64() const { return std::get_if<Raw64Block>(&value_); }
    const std::string* String() const { return std::get_if<std::string>(&value_); }
    const std::u16string* WString() const { return std::get_if<std::u16string>(&value_); }
    MemoryStream* Blob() const;

private:
    using Value = std::variant<std::monostate, std::uint32_t, Raw64Block, std::string,
                               std::u16string, std::unique_ptr<MemoryStream>>;

    std::string name_;
    ValueType type_ = ValueType::Unset;
    Value value_ = std::uint32_t{0};
};

}  // namespace lumora
