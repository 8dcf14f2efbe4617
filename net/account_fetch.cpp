#include "net/account_fetch.h"

#include <algorithm>

#include "document/text_encoding.h"

namespace lumora {
namespace {

AccountFetch BoundedFetch(const FetchOptions& fetchOptions) {
    FetchOptions bounded = fetchOptions;
    bounded.maxBodyBytes =
        std::min<std::uint32_t>(fetchOptions.maxBodyBytes, kMaxAccountAnswerBytes);
    return [bounded](const std::string& address) -> std::optional<std::string> {
        std::unique_ptr<MemoryStream> body =
            FetchUrl(std::u16string(kUpdateAgent), FromUtf8(address), bounded);
        if (!body)
            return std::nullopt;
        return std::string(reinterpret_cast<const char*>(body->Data()), body->Size());
    };
}

}  // namespace

AccountImport ImportAccount(const ProviderAccount& account, const AccountImportOptions& options,
                            const FetchOptions& fetchOptions) {
    return ImportAccount(account, options, BoundedFetch(fetchOptions));
}

AccountCheck CheckAccount(const ProviderAccount& account, const FetchOptions& fetchOptions) {
    return CheckAccount(account, BoundedFetch(fetchOptions));
}

}  // namespace lumora
