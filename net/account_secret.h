#pragma once

#include <string>

// The provider account's password where no secret store keeps it: a file of
// its own in the user's folder, readable by the user alone. Standard
// library only; any thread.
namespace lumora {

inline constexpr char kAccountSecretFileName[] = "account.secret";

// Writes the password into `folder`/account.secret, created with mode 0600
// (an existing file is made 0600 before it is written); false on failure.
bool SaveAccountSecret(const std::string& folder, const std::string& password);
// The password kept there; empty when there is none. A file that others may
// read is not trusted to be ours and reads as none.
std::string LoadAccountSecret(const std::string& folder);
void ForgetAccountSecret(const std::string& folder);

}  // namespace lumora
