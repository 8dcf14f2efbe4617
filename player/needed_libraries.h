#pragma once

// Opening a shared library's dependencies one at a time, those that need
// nothing else first. The dynamic loader holds one process-wide lock for a
// whole dlopen: opening libmpv in one call keeps every other dlopen of the
// process (Qt's platform and image plugins on the UI thread) waiting until
// libmpv and its 250 libraries are all in. Opened one by one, each call
// holds the lock for one library only.
//
// Threads: any; meant for a worker thread.

#include <functional>
#include <string>
#include <vector>

namespace lumora {

// The DT_NEEDED entries of the ELF shared object or program at `path`, in
// file order; empty when the file cannot be read or is no ELF file of this
// machine's kind.
std::vector<std::string> NeededLibraries(const std::string& path);

// Opens the libraries `soname` needs, directly and indirectly, each after
// the libraries it needs, leaving out those already loaded. Libraries are
// looked for in the folders of the libraries already loaded; one that is
// not found there, or fails to open, is left to the final dlopen of
// `soname` itself, which this does not make. The libraries stay open.
// `beforeEach`, when given, is called before each library is opened, with no
// lock of the dynamic loader held.
void OpenNeededLibrariesFirst(const std::string& soname,
                              const std::function<void()>& beforeEach = {});

}  // namespace lumora
