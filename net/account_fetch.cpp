#include "net/account_fetch.h"

#include <algorithm>

#include "document/text_encoding.h"

namespace lumora {

AccountImport ImportAccount(const ProviderAccount& account, const AccountImportOptions& options,
                            const FetchOptions& fetchOptions) {
    FetchOptions bounded = fetchOptions;
    bounded.maxBodyBytes =
        std::min<std::uint32_t>(fetchOptions.maxBodyBytes, kMaxAccountAnswerBytes);
    return ImportAccount(
        account, options, [&bounded](const std::string& address) -> std::optional<std::string> {
            std::unique_ptr<MemoryStream> body =
                FetchUrl(std::u16string(kUpdateAgent), FromUtf8(address), bounded);
            if (!body)
                return std::nullopt;
            return std::string(reinterpret_cast<const char*>(body->Data()), body->Size());
        });
}

}  // namespace lumora
