// publish CATALOGUE DIR: lays out an update server folder. A player whose
// "update_server" points at a web server serving DIR finds
//   DIR/downloads/mobile/cupdate.dat    a document whose root name is the version
//   DIR/downloads/mobile/Channels.lmch  the catalogue itself, byte for byte

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "document/doc_node.h"
#include "document/file_stream.h"
#include "document/memory_stream.h"
#include "document/text_encoding.h"
#include "net/update_logic.h"
#include "tools/commands.h"

namespace lumora::tools {
namespace {

int Fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "lumora-data publish: %s: %s\n", path.c_str(), what);
    return 1;
}

bool ReadWholeFile(const std::string& path, MemoryStream& bytes) {
    FileStream file;
    if (!file.Open(FromUtf8(path), OpenMode::Read))
        return false;
    std::uint32_t size = file.Size();
    if (size == 0)
        return true;
    if (!bytes.SetSize(size))
        return false;
    return file.Read(bytes.Data(), size) == size;
}

// Written to "PATH.tmp", flushed and renamed, so a web server never hands out
// half a catalogue.
bool WriteWholeFile(const std::string& path, const MemoryStream& bytes) {
    std::string temporary = path + ".tmp";
    FileStream file;
    if (!file.Open(FromUtf8(temporary), OpenMode::Write))
        return false;
    bool ok = file.Write(bytes.Data(), bytes.Size()) == bytes.Size() && file.Sync();
    file.Close();
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

int RunPublish(const Arguments& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: lumora-data publish CATALOGUE DIR\n");
        return 2;
    }
    const std::string& cataloguePath = args[0];
    MemoryStream bytes;
    if (!ReadWholeFile(cataloguePath, bytes))
        return Fail("cannot be read", cataloguePath);
    DocNode root;
    if (!root.ReadFrom(bytes))
        return Fail("is not a document", cataloguePath);
    // Players accept only a catalogue whose root name is its version text.
    if (!IsVersionText(root.Name()))
        return Fail(
            ("root name '" + root.Name() + "' is not a version text such as 1.0.12.3").c_str(),
            cataloguePath);

    std::filesystem::path folder = std::filesystem::path(args[1]) / "downloads" / "mobile";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return Fail(error.message().c_str(), folder.string());

    // The catalogue first, then the marker: a player that sees the new
    // marker always finds the catalogue it announces.
    std::string catalogueOut = (folder / "Channels.lmch").string();
    if (!WriteWholeFile(catalogueOut, bytes))
        return Fail("cannot be written", catalogueOut);
    std::string markerOut = (folder / "cupdate.dat").string();
    if (!DocNode(root.Name()).SaveToFile(FromUtf8(markerOut)))
        return Fail("cannot be written", markerOut);

    std::printf("published catalogue version %s in %s\n", root.Name().c_str(),
                folder.string().c_str());
    return 0;
}

}  // namespace lumora::tools
