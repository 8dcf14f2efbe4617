#include "document/doc_attribute.h"

namespace lumora {

void DocAttribute::SetInt(std::int32_t value) {
    SetWord(ValueType::Int, static_cast<std::uint32_t>(value));
}

void DocAttribute::SetBool(bool value) {
    SetWord(ValueType::Bool, value ? 1u : 0u);
}

void DocAttribute::SetString(std::string value) {
    type_ = ValueType::String;
    value_ = std::move(value);
}

void DocAttribute::SetWString(std::u16string value) {
    type_ = ValueType::WString;
    value_ = std::move(value);
}

void DocAttribute::SetWord(ValueType type, std::uint32_t word) {
    type_ = type;
    value_ = word;
}

void DocAttribute::SetRaw64(const Raw64Block& block) {
    type_ = ValueType::Raw64;
    value_ = block;
}

void DocAttribute::SetBlob(MemoryStream blob) {
    type_ = ValueType::Blob;
    value_ = std::make_unique<MemoryStream>(std::move(blob));
}

void DocAttribute::SetBareType(std::uint32_t code) {
    type_ = static_cast<ValueType>(code);
    value_ = std::monostate{};
}

std::uint32_t DocAttribute::Word() const {
    const auto* word = std::get_if<std::uint32_t>(&value_);
    return word ? *word : 0;
}

MemoryStream* DocAttribute::Blob() const {
    const auto* blob = std::get_if<std::unique_ptr<MemoryStream>>(&value_);
    return blob ? blob->get() : nullptr;
}

}  // namespace lumora
