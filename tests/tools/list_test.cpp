// lumora-data list, run as a separate process on files made here.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "scratch_folder.h"

namespace lumora {
namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ListVerbTest : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return scratch / name; }

    RunResult Run(const std::string& arguments) const {
        std::string errFile = File("stderr.txt");
        std::string command =
            std::string("'") + LUMORA_DATA_EXE + "' list " + arguments + " 2>'" + errFile + "'";
        RunResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return result;
        std::array<char, 4096> buffer;
        std::size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            result.out.append(buffer.data(), got);
        int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(errFile);
        std::stringstream text;
        text << err.rdbuf();
        result.err = text.str();
        return result;
    }

    static void AddChannel(DocNode& country, const std::string& node, const std::u16string& name,
                           const std::string& category,
                           std::vector<std::pair<int, std::u16string>> streams) {
        DocNode* channel = country.AddChild(node);
        channel->SetWString("n", name);
        channel->SetString("p", "x");
        channel->SetString("c", category);
        for (std::size_t i = 0; i < streams.size(); ++i) {
            DocNode* stream = channel->AddChild(std::to_string(i));
            stream->SetInt("b", streams[i].first);
            stream->SetWString("u", streams[i].second);
        }
    }

    void WriteFiles() {
        DocNode catalogue("2024.5");
        DocNode* de = catalogue.AddChild("de");
        AddChannel(*de, "ard", u"Das Erste", "n",
                   {{800, u"http://de/ard"}, {2000, u"http://de/ard-hd"}});
        AddChannel(*de, "zdf", u"ZDF\tHD", "e", {{600, u"http://de/zdf"}});
        AddChannel(*de, "odd", u"Odd", "bogus", {{100, u"http://de/odd"}});
        DocNode* fr = catalogue.AddChild("fr");
        AddChannel(*fr, "tf1", u"TF1", "e", {});
        ASSERT_TRUE(catalogue.SaveToFile(FromUtf8(File("Channels.lmch"))));

        DocNode pack("lang_doc_1.0");
        DocNode* english = pack.AddChild("lang_0");
        english->SetWString("language", u"English");
        english->SetWString("ext", u"en");
        english->AddChild("c_de")->SetWString("text", u"Germany");
        english->AddChild("c_fr")->SetWString("text", u"France");
        english->AddChild("str_kb")->SetWString("text", u" kb");
        ASSERT_TRUE(pack.SaveToFile(FromUtf8(File("Languages.lngp"))));

        DocNode settings("set");
        settings.AddChild("options")->SetWString("cur_channel", u"de_zdf");
        DocNode* channels = settings.AddChild("channels");
        channels->AddChild("de_ard")->SetBool("f", true);
        channels->Child("de_ard")->SetInt("cu", 1);
        channels->AddChild("fr_tf1")->SetBool("f", true);
        ASSERT_TRUE(settings.SaveToFile(FromUtf8(File("Settings.cfg"))));
    }

    std::string Files(bool withLanguages = true) const {
        std::string files =
            "'" + File("Channels.lmch") + "' --settings '" + File("Settings.cfg") + "'";
        if (withLanguages)
            files += " --languages '" + File("Languages.lngp") + "'";
        return files;
    }

    test::ScratchFolder scratch;
};

TEST_F(ListVerbTest, PrintsTheChannelListAsThePlayerShowsIt) {
    WriteFiles();
    RunResult result = Run(Files());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "fr_tf1\tTF1\tFrance (0 kb)\te\t1\t0\t\n"
              "de_ard\tDas Erste\tGermany (2000 kb)\tn\t1\t0\thttp://de/ard-hd\n"
              "de_odd\tOdd\tGermany (100 kb)\t\t0\t0\thttp://de/odd\n"
              "de_zdf\tZDF HD\tGermany (600 kb)\te\t0\t1\thttp://de/zdf\n");
    EXPECT_EQ(result.err, "Germany : Odd - Wrong category!\nFrance : TF1 - No url!\n");
}

TEST_F(ListVerbTest, FiltersAndFavourites) {
    WriteFiles();
    RunResult byCountry = Run(Files() + " --country fr");
    EXPECT_EQ(byCountry.exitCode, 0);
    EXPECT_EQ(byCountry.out, "fr_tf1\tTF1\tFrance (0 kb)\te\t1\t0\t\n");

    RunResult both = Run(Files() + " --country de --category e");
    EXPECT_EQ(both.out, "de_zdf\tZDF HD\tGermany (600 kb)\te\t0\t1\thttp://de/zdf\n");

    RunResult favourites = Run(Files() + " --favourites");
    EXPECT_EQ(favourites.exitCode, 0);
    EXPECT_EQ(favourites.out,
              "fr_tf1\tTF1\tFrance (0 kb)\te\t1\t0\t\n"
              "de_ard\tDas Erste\tGermany (2000 kb)\tn\t1\t0\thttp://de/ard-hd\n");

    RunResult favouritesOfGermany = Run(Files() + " --favourites --country de");
    EXPECT_EQ(favouritesOfGermany.out,
              "de_ard\tDas Erste\tGermany (2000 kb)\tn\t1\t0\thttp://de/ard-hd\n");
}

TEST_F(ListVerbTest, WithoutLanguagesCodesAndKeysAreShown) {
    WriteFiles();
    RunResult result = Run("'" + File("Channels.lmch") + "' --category n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "de_ard\tDas Erste\tde (800)\tn\t0\t0\thttp://de/ard\n");
}

TEST_F(ListVerbTest, BadRequestsAreRefused) {
    WriteFiles();
    RunResult country = Run(Files() + " --country xx");
    EXPECT_EQ(country.exitCode, 1);
    EXPECT_TRUE(country.out.empty());
    EXPECT_NE(country.err.find("no country 'xx'"), std::string::npos) << country.err;

    RunResult category = Run(Files() + " --category news");
    EXPECT_EQ(category.exitCode, 1);
    EXPECT_NE(category.err.find("no category 'news'"), std::string::npos) << category.err;

    RunResult missing = Run("'" + File("none.lmch") + "'");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;

    EXPECT_EQ(Run("").exitCode, 2);
    EXPECT_EQ(Run(Files() + " --country").exitCode, 2);
    EXPECT_EQ(Run(Files() + " --bogus").exitCode, 2);
    EXPECT_EQ(Run(Files() + " second.lmch").exitCode, 2);
}

// A wrong or missing file named on the command line is reported, and the
// verb, which only looks, leaves every file where and as it was.
TEST_F(ListVerbTest, UnreadableSettingsOrLanguagesAreRefusedAndLeftAlone) {
    struct Row {
        const char* what;
        const char* option;
        const char* file;
        const char* bytes;  // null: the file is missing
        const char* message;
    } rows[] = {
        {"damaged settings", "--settings", "Bad.cfg", "not a document", "cannot read the settings"},
        {"missing settings", "--settings", "None.cfg", nullptr, "cannot read the settings"},
        {"damaged pack", "--languages", "Bad.lngp", "not a document",
         "cannot read the language pack"},
        {"missing pack", "--languages", "None.lngp", nullptr, "cannot read the language pack"},
    };
    WriteFiles();
    DocNode notAPack("set");
    ASSERT_TRUE(notAPack.SaveToFile(FromUtf8(File("NotAPack.lngp"))));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.bytes != nullptr)
            std::ofstream(File(row.file), std::ios::binary) << row.bytes;
        RunResult result =
            Run("'" + File("Channels.lmch") + "' " + row.option + " '" + File(row.file) + "'");
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(File(row.file) + ".bad"));
        if (row.bytes != nullptr) {
            std::ifstream kept(File(row.file), std::ios::binary);
            std::stringstream bytes;
            bytes << kept.rdbuf();
            EXPECT_EQ(bytes.str(), row.bytes);
        }
    }
    RunResult wrongPack = Run(Files(false) + " --languages '" + File("NotAPack.lngp") + "'");
    EXPECT_EQ(wrongPack.exitCode, 1) << "a document that is no language pack";
}

TEST_F(ListVerbTest, TheSettingsFileIsNotWritten) {
    WriteFiles();
    auto before = std::filesystem::last_write_time(File("Settings.cfg"));
    auto size = std::filesystem::file_size(File("Settings.cfg"));
    EXPECT_EQ(Run(Files()).exitCode, 0);
    EXPECT_EQ(std::filesystem::last_write_time(File("Settings.cfg")), before);
    EXPECT_EQ(std::filesystem::file_size(File("Settings.cfg")), size);
}

}  // namespace
}  // namespace lumora
