// lumora-data dump FILE: prints a document as JSON (the form is described
// in tools/doc_json.h).

#include <cstdio>
#include <string>

#include "document/doc_node.h"
#include "document/file_stream.h"
#include "document/text_encoding.h"
#include "tools/commands.h"
#include "tools/doc_json.h"

namespace lumora::tools {

int RunDump(const Arguments& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        std::fprintf(stderr, "usage: lumora-data dump FILE\n");
        return 2;
    }
    const std::string& path = args[0];
    FileStream file;
    if (!file.Open(FromUtf8(path), OpenMode::Read)) {
        std::fprintf(stderr, "lumora-data: dump: cannot open %s\n", path.c_str());
        return 1;
    }
    DocNode root;
    if (!root.ReadFrom(file)) {
        std::fprintf(stderr, "lumora-data: dump: %s is not a Lumora document, or it is damaged\n",
                     path.c_str());
        return 1;
    }
    std::uint32_t used = file.Position();
    std::uint32_t size = file.Size();
    if (size > used)
        std::fprintf(stderr, "lumora-data: dump: %s: %u bytes after the document are ignored\n",
                     path.c_str(), size - used);

    std::string text;
    try {
        text = DocumentToJson(root).dump(2);
    } catch (const nlohmann::json::exception& error) {
        std::fprintf(stderr, "lumora-data: dump: %s\n", error.what());
        return 1;
    }
    text.push_back('\n');
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "lumora-data: dump: cannot write the output\n");
        return 1;
    }
    return 0;
}

}  // namespace lumora::tools
