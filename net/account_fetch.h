#pragma once

#include "net/account_source.h"
#include "net/fetch_url.h"

namespace lumora {

// ImportAccount and CheckAccount with their answers fetched over HTTP(S)
// (FetchUrl), each bounded to kMaxAccountAnswerBytes. Blocking; any thread.
AccountImport ImportAccount(const ProviderAccount& account, const AccountImportOptions& options,
                            const FetchOptions& fetchOptions);
AccountCheck CheckAccount(const ProviderAccount& account, const FetchOptions& fetchOptions);

}  // namespace lumora
