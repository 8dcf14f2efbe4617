#include "catalogue/catalogue_origin.h"

namespace lumora {

CatalogueOrigin ReadCatalogueOrigin(const DocNode& root) {
    CatalogueOrigin origin;
    origin.source = root.GetWString(kOriginSourceAttribute);
    origin.hash = root.GetString(kOriginHashAttribute);
    origin.etag = root.GetString(kOriginEtagAttribute);
    origin.lastModified = root.GetString(kOriginModifiedAttribute);
    return origin;
}

CatalogueOrigin ReadCatalogueOrigin(DocView::Node root) {
    CatalogueOrigin origin;
    origin.source = root.RequireWString(kOriginSourceAttribute);
    origin.hash = std::string(root.RequireString(kOriginHashAttribute));
    origin.etag = std::string(root.RequireString(kOriginEtagAttribute));
    origin.lastModified = std::string(root.RequireString(kOriginModifiedAttribute));
    return origin;
}

void WriteCatalogueOrigin(DocNode& root, const CatalogueOrigin& origin) {
    if (!origin.source.empty())
        root.SetWString(kOriginSourceAttribute, origin.source);
    if (!origin.hash.empty())
        root.SetString(kOriginHashAttribute, origin.hash);
    if (!origin.etag.empty())
        root.SetString(kOriginEtagAttribute, origin.etag);
    if (!origin.lastModified.empty())
        root.SetString(kOriginModifiedAttribute, origin.lastModified);
}

}  // namespace lumora
