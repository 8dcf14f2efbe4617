#include "guide/catalogue_for_guide.h"

#include "catalogue/catalogue_format.h"
#include "catalogue/guide_attributes.h"
#include "document/doc_view.h"
#include "document/text_encoding.h"

namespace lumora {

std::optional<CatalogueForGuide> ReadCatalogueForGuide(const std::string& path) {
    DocView view;
    if (!view.LoadFromFile(FromUtf8(path)))
        return std::nullopt;
    CatalogueForGuide catalogue;
    catalogue.guideAddresses = ReadGuideAddresses(view.Root());
    for (DocView::Node country : view.Root().Children()) {
        for (DocView::Node node : country.Children()) {
            CatalogueChannel channel;
            channel.lumoraId.append(country.Name()).append(1, '_').append(node.Name());
            channel.name = ToUtf8(node.RequireWString(kNameAttribute));
            channel.tvgId = BoundedTvgText(ToUtf8(node.RequireWString(kTvgIdAttribute)));
            channel.tvgName = BoundedTvgText(ToUtf8(node.RequireWString(kTvgNameAttribute)));
            channel.shiftMinutes = BoundedTvgShift(node.GetInt(kTvgShiftAttribute, 0));
            catalogue.channels.push_back(std::move(channel));
        }
    }
    return catalogue;
}

}  // namespace lumora
