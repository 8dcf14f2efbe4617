// lumora-data build JSON OUT: writes the document that a JSON file describes
// (the form is described in tools/doc_json.h). OUT is replaced atomically.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "tools/commands.h"
#include "tools/doc_json.h"

namespace lumora::tools {

namespace {

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

}  // namespace

int RunBuild(const Arguments& args) {
    if (args.size() != 2 || args[0].empty() || args[1].empty() || args[0][0] == '-' ||
        args[1][0] == '-') {
        std::fprintf(stderr, "usage: lumora-data build JSON OUT\n");
        return 2;
    }
    const std::string& source = args[0];
    const std::string& target = args[1];
    std::string text;
    if (!ReadWholeFile(source, text)) {
        std::fprintf(stderr, "lumora-data: build: cannot read %s\n", source.c_str());
        return 1;
    }
    nlohmann::json json;
    std::string fault;
    if (!ParseJsonText(text, json, fault)) {
        std::fprintf(stderr, "lumora-data: build: %s: %s\n", source.c_str(), fault.c_str());
        return 1;
    }
    std::unique_ptr<DocNode> root = DocumentFromJson(json, fault);
    if (!root) {
        std::fprintf(stderr, "lumora-data: build: %s: %s\n", source.c_str(), fault.c_str());
        return 1;
    }
    if (!root->SaveToFile(FromUtf8(target))) {
        std::fprintf(stderr, "lumora-data: build: cannot write %s\n", target.c_str());
        return 1;
    }
    return 0;
}

}  // namespace lumora::tools
