#include "guide/xmltv_reader.h"

// The library is built with DTD support (every distribution's is); the
// header declares the entity-expansion bounds only when told so.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include <algorithm>
#include <cstring>

namespace lumora {

namespace {

// Pieces handed to expat at a time: the token bound is checked between them.
constexpr std::size_t kParsePiece = 256 * 1024;

bool LanguageMatches(std::string_view lang, std::string_view wanted) {
    if (wanted.empty() || lang.empty())
        return false;
    auto primary = [](std::string_view tag) {
        const std::size_t end = tag.find_first_of("-_");
        return tag.substr(0, end);
    };
    const std::string_view a = primary(lang);
    const std::string_view b = primary(wanted);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

const char* FindAttribute(const XML_Char** attributes, std::string_view name) {
    for (const XML_Char** at = attributes; *at != nullptr; at += 2) {
        if (name == *at)
            return at[1];
    }
    return nullptr;
}

std::string BoundedText(const char* text) {
    if (text == nullptr)
        return {};
    return std::string(text, strnlen(text, kMaxGuideTextBytes));
}

// Cuts a text that was bounded in the middle of a UTF-8 sequence back to
// the last whole character.
void EndOnCharacter(std::string& text) {
    if (text.size() < kMaxGuideTextBytes)
        return;
    std::size_t end = text.size();
    std::size_t back = 0;
    while (end > 0 && back < 4 && (static_cast<unsigned char>(text[end - 1]) & 0xC0) == 0x80) {
        --end;
        ++back;
    }
    if (end > 0 && static_cast<unsigned char>(text[end - 1]) >= 0xC0) {
        const unsigned char lead = static_cast<unsigned char>(text[end - 1]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (back + 1 < length)
            text.resize(end - 1);
    }
}

// One text of an element that may come in several languages: the first,
// until one in the wanted language arrives.
struct LanguageChoice {
    std::string text;
    bool have = false;
    bool preferred = false;

    void Offer(std::string& candidate, bool inWantedLanguage) {
        if (!have || (inWantedLanguage && !preferred)) {
            text.swap(candidate);
            have = true;
            preferred = inWantedLanguage;
        }
    }
    void Clear() {
        text.clear();
        have = preferred = false;
    }
};

enum class Field {
    None,
    DisplayName,
    Title,
    SubTitle,
    Description,
    Category,
    EpisodeNum,
    RatingValue,
};

enum class Block { None, Channel, Programme };

}  // namespace

class XmltvReader::Handlers {
public:
    Handlers(GuideSink& sink, std::string language, std::string& error)
        : sink_(sink), language_(std::move(language)), error_(error) {
        parser_ = XML_ParserCreate(nullptr);
        if (parser_ == nullptr)
            return;
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &Handlers::Start, &Handlers::End);
        XML_SetCharacterDataHandler(parser_, &Handlers::Text);
        XML_SetCommentHandler(parser_, &Handlers::Comment);
        XML_SetProcessingInstructionHandler(parser_, &Handlers::Instruction);
        // No entity of any kind may be declared: nothing outside the guide
        // is read, and nothing can expand.
        XML_SetEntityDeclHandler(parser_, &Handlers::EntityDeclared);
        XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
        XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser_, 10.0f);
        XML_SetBillionLaughsAttackProtectionActivationThreshold(parser_, 1u << 20);
#endif
    }
    ~Handlers() {
        if (parser_ != nullptr)
            XML_ParserFree(parser_);
    }

    XML_Parser Parser() const {
        return parser_;
    }
    bool SinkStopped() const {
        return sinkStopped_;
    }
    bool Stopped() const {
        return stopped_;
    }
    std::uint64_t& BytesSinceEvent() {
        return bytesSinceEvent_;
    }
    bool SawRoot() const {
        return sawRoot_;
    }

    void Refuse(std::string message) {
        if (!stopped_) {
            error_ = std::move(message);
            stopped_ = true;
            XML_StopParser(parser_, XML_FALSE);
        }
    }
    void StopForSink() {
        sinkStopped_ = true;
        stopped_ = true;
        XML_StopParser(parser_, XML_FALSE);
    }

private:
    static void Start(void* self, const XML_Char* name, const XML_Char** attributes) {
        static_cast<Handlers*>(self)->OnStart(name, attributes);
    }
    static void End(void* self, const XML_Char* name) {
        static_cast<Handlers*>(self)->OnEnd(name);
    }
    static void Text(void* self, const XML_Char* text, int length) {
        auto* handlers = static_cast<Handlers*>(self);
        handlers->bytesSinceEvent_ = 0;
        if (handlers->field_ != Field::None) {
            std::string& into = handlers->text_;
            const std::size_t room = kMaxGuideTextBytes - std::min(into.size(), kMaxGuideTextBytes);
            into.append(text, std::min<std::size_t>(room, static_cast<std::size_t>(length)));
        }
    }
    static void Comment(void* self, const XML_Char*) {
        static_cast<Handlers*>(self)->bytesSinceEvent_ = 0;
    }
    static void Instruction(void* self, const XML_Char*, const XML_Char*) {
        static_cast<Handlers*>(self)->bytesSinceEvent_ = 0;
    }
    static void EntityDeclared(void* self, const XML_Char*, int, const XML_Char*, int,
                               const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
        static_cast<Handlers*>(self)->Refuse("the guide declares an entity, which guides may not");
    }

    void OnStart(std::string_view name, const XML_Char** attributes) {
        bytesSinceEvent_ = 0;
        ++depth_;
        if (depth_ == 1) {
            sawRoot_ = true;
            if (name != "tv") {
                Refuse(name == "html" || name == "HTML"
                           ? "an HTML page, not a programme guide"
                           : "the root element is <" + std::string(name).substr(0, 64) +
                                 ">, not <tv>: not a programme guide");
            }
            return;
        }
        if (depth_ == 2)
            StartBlock(name, attributes);
        else if (depth_ == 3 && block_ == Block::Channel)
            StartChannelField(name, attributes);
        else if (depth_ == 3 && block_ == Block::Programme)
            StartProgrammeField(name, attributes);
        else if (depth_ == 4 && inRating_ && name == "value")
            Capture(Field::RatingValue, nullptr);
    }

    void OnEnd(std::string_view name) {
        bytesSinceEvent_ = 0;
        if (field_ != Field::None && depth_ == fieldDepth_)
            EndField();
        if (depth_ == 3)
            inRating_ = false;
        if (depth_ == 2 && block_ != Block::None)
            EndBlock();
        (void)name;
        --depth_;
    }

    void StartBlock(std::string_view name, const XML_Char** attributes) {
        if (name == "channel") {
            block_ = Block::Channel;
            channel_.id = BoundedText(FindAttribute(attributes, "id"));
            channel_.displayNames.clear();
            channel_.icon.clear();
        } else if (name == "programme") {
            block_ = Block::Programme;
            programme_.channel = BoundedText(FindAttribute(attributes, "channel"));
            programme_.start = BoundedText(FindAttribute(attributes, "start"));
            programme_.stop = BoundedText(FindAttribute(attributes, "stop"));
            programme_.catchupId = BoundedText(FindAttribute(attributes, "catchup-id"));
            programme_.episodeXmltvNs.clear();
            programme_.episodeOnscreen.clear();
            programme_.icon.clear();
            programme_.flags = 0;
            title_.Clear();
            subTitle_.Clear();
            description_.Clear();
            rating_.Clear();
            categories_.clear();
        }
    }

    void StartChannelField(std::string_view name, const XML_Char** attributes) {
        if (name == "display-name")
            Capture(Field::DisplayName, attributes);
        else if (name == "icon" && channel_.icon.empty())
            channel_.icon = BoundedText(FindAttribute(attributes, "src"));
    }

    void StartProgrammeField(std::string_view name, const XML_Char** attributes) {
        if (name == "title") {
            Capture(Field::Title, attributes);
        } else if (name == "sub-title") {
            Capture(Field::SubTitle, attributes);
        } else if (name == "desc") {
            Capture(Field::Description, attributes);
        } else if (name == "category") {
            Capture(Field::Category, attributes);
        } else if (name == "episode-num") {
            const char* system = FindAttribute(attributes, "system");
            episodeSystem_ = system != nullptr ? system : "onscreen";
            Capture(Field::EpisodeNum, attributes);
        } else if (name == "icon") {
            if (programme_.icon.empty())
                programme_.icon = BoundedText(FindAttribute(attributes, "src"));
        } else if (name == "rating") {
            inRating_ = true;
        } else if (name == "new") {
            programme_.flags |= ProgrammeNew;
        } else if (name == "previously-shown") {
            programme_.flags |= ProgrammePreviouslyShown;
        } else if (name == "premiere") {
            programme_.flags |= ProgrammePremiere;
        }
    }

    void Capture(Field field, const XML_Char** attributes) {
        field_ = field;
        fieldDepth_ = depth_;
        text_.clear();
        const char* lang = attributes != nullptr ? FindAttribute(attributes, "lang") : nullptr;
        fieldLang_.assign(lang != nullptr ? std::string_view(lang).substr(0, 32) : "");
    }

    void EndField() {
        EndOnCharacter(text_);
        const bool wanted = LanguageMatches(fieldLang_, language_);
        switch (field_) {
        case Field::DisplayName:
            if (channel_.displayNames.size() < kMaxGuideRepeats)
                channel_.displayNames.push_back(text_);
            break;
        case Field::Title: title_.Offer(text_, wanted); break;
        case Field::SubTitle: subTitle_.Offer(text_, wanted); break;
        case Field::Description: description_.Offer(text_, wanted); break;
        case Field::RatingValue: rating_.Offer(text_, false); break;
        case Field::Category:
            if (categories_.size() < kMaxGuideRepeats)
                categories_.push_back({fieldLang_, text_});
            break;
        case Field::EpisodeNum:
            if (episodeSystem_ == "xmltv_ns" && programme_.episodeXmltvNs.empty())
                programme_.episodeXmltvNs = text_;
            else if (episodeSystem_ == "onscreen" && programme_.episodeOnscreen.empty())
                programme_.episodeOnscreen = text_;
            break;
        case Field::None: break;
        }
        field_ = Field::None;
    }

    void EndBlock() {
        bool go = true;
        if (block_ == Block::Channel) {
            go = sink_.OnChannel(channel_);
        } else {
            programme_.title = std::move(title_.text);
            programme_.subTitle = std::move(subTitle_.text);
            programme_.description = std::move(description_.text);
            programme_.rating = std::move(rating_.text);
            programme_.categories = JoinCategories();
            go = sink_.OnProgramme(programme_);
        }
        block_ = Block::None;
        field_ = Field::None;
        if (!go)
            StopForSink();
    }

    // The categories in the wanted language when there are any, else those
    // in the first one's language; one a line.
    std::string JoinCategories() const {
        const bool anyWanted = std::any_of(
            categories_.begin(), categories_.end(),
            [this](const auto& category) { return LanguageMatches(category.first, language_); });
        std::string joined;
        for (const auto& [lang, text] : categories_) {
            const bool keep =
                anyWanted ? LanguageMatches(lang, language_) : lang == categories_.front().first;
            if (!keep || text.empty())
                continue;
            if (!joined.empty())
                joined += '\n';
            joined += text;
        }
        return joined;
    }

    GuideSink& sink_;
    std::string language_;
    std::string& error_;
    XML_Parser parser_ = nullptr;
    int depth_ = 0;
    bool sawRoot_ = false;
    bool stopped_ = false;
    bool sinkStopped_ = false;
    std::uint64_t bytesSinceEvent_ = 0;

    Block block_ = Block::None;
    Field field_ = Field::None;
    int fieldDepth_ = 0;
    std::string fieldLang_;
    std::string text_;
    std::string episodeSystem_;
    bool inRating_ = false;

    GuideChannel channel_;
    GuideProgramme programme_;
    LanguageChoice title_;
    LanguageChoice subTitle_;
    LanguageChoice description_;
    LanguageChoice rating_;
    std::vector<std::pair<std::string, std::string>> categories_;  // language, text
};

XmltvReader::XmltvReader(GuideSink& sink, std::string language)
    : handlers_(std::make_unique<Handlers>(sink, std::move(language), error_)) {}

XmltvReader::~XmltvReader() = default;

std::uint64_t XmltvReader::Line() const {
    return handlers_->Parser() != nullptr ? XML_GetCurrentLineNumber(handlers_->Parser()) : 0;
}

std::uint64_t XmltvReader::Column() const {
    return handlers_->Parser() != nullptr ? XML_GetCurrentColumnNumber(handlers_->Parser()) + 1 : 0;
}

bool XmltvReader::Feed(std::string_view xml) {
    while (xml.size() > kParsePiece) {
        if (!Parse(xml.substr(0, kParsePiece), false))
            return false;
        xml.remove_prefix(kParsePiece);
    }
    return Parse(xml, false);
}

bool XmltvReader::Finish() {
    if (!Parse({}, true))
        return false;
    if (!handlers_->SawRoot()) {
        error_ = "the guide holds no XML element";
        return false;
    }
    return true;
}

bool XmltvReader::Parse(std::string_view xml, bool final) {
    if (handlers_->Parser() == nullptr) {
        error_ = "the XML parser could not start";
        return false;
    }
    if (handlers_->Stopped())
        return false;
    handlers_->BytesSinceEvent() += xml.size();
    const XML_Status status = XML_Parse(handlers_->Parser(), xml.data(),
                                        static_cast<int>(xml.size()), final ? XML_TRUE : XML_FALSE);
    const std::string where =
        " (line " + std::to_string(Line()) + ", column " + std::to_string(Column()) + ")";
    if (status == XML_STATUS_ERROR) {
        if (handlers_->SinkStopped())
            return false;
        if (!handlers_->Stopped()) {
            error_ = std::string("malformed XML: ") +
                     XML_ErrorString(XML_GetErrorCode(handlers_->Parser()));
            handlers_->Refuse(error_);
        }
        if (error_.find(" (line ") == std::string::npos)
            error_ += where;
        return false;
    }
    if (handlers_->BytesSinceEvent() > kMaxGuideTokenBytes) {
        handlers_->Refuse("one piece of markup is longer than " +
                          std::to_string(kMaxGuideTokenBytes >> 20) + " MB" + where);
        return false;
    }
    return true;
}

}  // namespace lumora
