#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// A <channel> of an XMLTV guide. Texts are UTF-8, bounded in length.
struct GuideChannel {
    std::string id;
    std::vector<std::string> displayNames;  // every display-name, in order
    std::string icon;                       // the icon's src, may be empty
};

// Flags of a programme, as stored.
enum GuideProgrammeFlag : std::uint32_t {
    ProgrammeNew = 1,
    ProgrammePreviouslyShown = 2,
    ProgrammePremiere = 4,
};

// A <programme> as the guide writes it. Times stay text here: the import
// reads them (ParseXmltvTime) and counts the ones it cannot use. Where an
// element comes in several languages the reader's language is kept, else
// the first.
struct GuideProgramme {
    std::string channel;
    std::string start;
    std::string stop;  // empty when the guide gives none
    std::string title;
    std::string subTitle;
    std::string description;
    std::string categories;  // one a line
    std::string episodeXmltvNs;
    std::string episodeOnscreen;
    std::string icon;
    std::string rating;
    std::string catchupId;
    std::uint32_t flags = 0;  // GuideProgrammeFlag bits
};

// Receives what the reader finds, in guide order. Returning false stops
// the guide (the receiver keeps its own reason).
class GuideSink {
public:
    virtual ~GuideSink() = default;
    virtual bool OnChannel(const GuideChannel& channel) = 0;
    virtual bool OnProgramme(const GuideProgramme& programme) = 0;
};

// Longest text kept of one element; the rest is dropped.
inline constexpr std::size_t kMaxGuideTextBytes = 16 * 1024;
// Display names and categories kept of one channel or programme.
inline constexpr std::size_t kMaxGuideRepeats = 16;
// A single piece of markup (a tag, a comment) may not be longer: expat
// keeps an unfinished one in memory.
inline constexpr std::uint64_t kMaxGuideTokenBytes = 8u << 20;

// Reads an XMLTV guide pushed to it in pieces (expat), calling the sink for
// each channel and programme as its end tag arrives: memory stays the same
// whatever the guide's size. The guide may not declare entities (no
// external entity, DTD or file is ever read, and no entity bomb can grow);
// the five XML entities and character references decode.
//
// Threads: one object, one thread at a time.
class XmltvReader {
public:
    // `language`: the user interface's language ("de", "pt-BR"); elements in
    // it are preferred.
    XmltvReader(GuideSink& sink, std::string language);
    ~XmltvReader();
    XmltvReader(const XmltvReader&) = delete;
    XmltvReader& operator=(const XmltvReader&) = delete;

    // The next piece of the guide. False when the guide is refused (Error())
    // or the sink stopped it (Error() empty).
    bool Feed(std::string_view xml);
    // The end of the guide: false when it is not a whole document.
    bool Finish();

    // Why the guide was refused, with the line and column where it was.
    const std::string& Error() const { return error_; }
    // Where the parser stands (1-based).
    std::uint64_t Line() const;
    std::uint64_t Column() const;

private:
    class Handlers;
    bool Parse(std::string_view xml, bool final);

    std::unique_ptr<Handlers> handlers_;
    std::string error_;
};

}  // namespace lumora
