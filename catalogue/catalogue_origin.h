#pragma once

#include <string>
#include <string_view>

#include "catalogue/catalogue_format.h"
#include "document/doc_node.h"
#include "document/doc_view.h"

namespace lumora {

// Where a catalogue built from a playlist came from, kept as extra
// attributes of the catalogue file's root node (a reader that does not know
// them passes them over). A catalogue from an update server has none of
// them. Plain data; any thread.
struct CatalogueOrigin {
    std::u16string source;     // root "src": the update source it was built from
    std::string hash;          // root "hash": the playlist content's hash
    std::string etag;          // root "etag": the playlist answer's ETag
    std::string lastModified;  // root "lmod": the playlist answer's Last-Modified
};

CatalogueOrigin ReadCatalogueOrigin(const DocNode& root);
CatalogueOrigin ReadCatalogueOrigin(DocView::Node root);
// Sets the attributes that are not empty.
void WriteCatalogueOrigin(DocNode& root, const CatalogueOrigin& origin);

}  // namespace lumora
