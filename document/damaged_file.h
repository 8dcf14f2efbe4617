#pragma once

#include <string>

namespace lumora {

// Keeps a file that could not be read beside itself as "PATH.bad", so the
// user can still recover it after the program has gone on with defaults.
// An older "PATH.bad" is replaced: the newest damaged file is the one kept.
// False when there was no file or it could not be moved (it then stays).
bool SetDamagedFileAside(const std::u16string& path);

}  // namespace lumora
