// Every scene's search is fair: a name on the list matches exactly one thing in the picture (a
// group, exactly its members). Nothing the board draws beside its items (a decoy, a cover, a part
// of the foreground, a thing painted in the background) is of the kind of one of them, whatever its
// tint, turn, size or source. The layouts in tools/scenes say what each picture was drawn from and
// what each background paints; the shipped board movies draw exactly the decoys and covers they name.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

// A layout line split as a shell would: words, and quoted names kept whole.
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> std::ws && !in.eof()) {
        if (in.peek() == '"') {
            in.get();
            std::getline(in, word, '"');
        } else {
            in >> word;
        }
        words.push_back(word);
    }
    return words;
}

std::vector<std::vector<std::string>> Layout(const std::string& scene)
{
    std::ifstream in(QuillTest::SourceRoot() / "tools" / "scenes" / (scene + ".txt"));
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(in, line);) {
        const auto words = Words(line);
        if (!words.empty() && words[0][0] != '#')
            lines.push_back(words);
    }
    return lines;
}

bool Placed(const std::vector<std::string>& line)
{
    return line[0] == "decoy" || line[0] == "cover" || line[0] == "front";
}

bool Item(const std::vector<std::string>& line)
{
    return !Placed(line) && line[0] != "painted" && line.size() > 1;
}

std::string Option(const std::vector<std::string>& line, const std::string& key)
{
    for (const std::string& word : line)
        if (word.rfind(key + "=", 0) == 0)
            return word.substr(key.size() + 1);
    return {};
}

// The kind of a name: its last word, singular, with the names whose last word hides their kind
// folded (a Church Key is a key, a Candlestick a candle, an Ink Pot an inkwell).
std::string Kind(std::string name)
{
    static const std::map<std::string, std::string> folded = {
        {"ink pot", "inkwell"},        {"order of service", "programme"},
        {"buttonhole", "boutonniere"}, {"love letter", "envelope"},
        {"handbell", "bell"},          {"candlestick", "candle"},
        {"candelabra", "candle"},      {"teacup", "cup"},
        {"hairbrush", "brush"},        {"songbook", "book"}};
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (const auto it = folded.find(name); it != folded.end())
        name = it->second;
    std::string word = name.substr(name.find_last_of(' ') + 1);
    if (word.size() > 4 && word.compare(word.size() - 4, 4, "sses") == 0)
        word.resize(word.size() - 2);
    else if (word.size() > 1 && word.back() == 's' && word[word.size() - 2] != 's' && word != "scissors")
        word.pop_back();
    const auto it = folded.find(word);
    return it != folded.end() ? it->second : word;
}

// The kind of what a layout's from= copies: an item of a scene by its list name, a drawing by its
// <title>; empty when it names neither.
std::string SourceKind(const std::string& from)
{
    if (from.size() > 4 && from.compare(from.size() - 4, 4, ".svg") == 0) {
        std::ifstream in(QuillTest::SourceRoot() / "tools" / "scenes" / from);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::smatch title;
        return std::regex_search(text, title, std::regex("<title>([^<]+)</title>")) ? Kind(title[1]) : std::string();
    }
    const size_t slash = from.find('/');
    if (slash == std::string::npos)
        return {};
    for (const auto& line : Layout(from.substr(0, slash)))
        if (Item(line) && line[0] == from.substr(slash + 1))
            return Kind(line[1]);
    return {};
}

// The decoys and covers a shipped board movie draws.
std::set<std::string> DrawnDecoysAndCovers(const std::string& scene)
{
    std::ifstream in(QuillTest::SourceRoot() / "data" / "scenes" / scene / "Definitions" / (scene + ".xml"));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> drawn;
    const std::regex instance("instancename=\"((Decoy|Cover)_[^\"]+)\"");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), instance); it != std::sregex_iterator(); ++it)
        drawn.insert((*it)[1]);
    return drawn;
}

TEST(SceneKinds, NoSceneDrawsAnotherThingOfAListedKind)
{
    EXPECT_EQ(Kind("Church Key"), "key");
    EXPECT_EQ(Kind("Opera Glasses"), Kind("Champagne Glass"));
    EXPECT_EQ(Kind("Handbell"), Kind("Wedding Bells"));

    size_t scenes = 0;
    for (const auto& entry : fs::directory_iterator(QuillTest::SourceRoot() / "data" / "scenes")) {
        const std::string scene = entry.path().filename().string();
        SCOPED_TRACE(scene);
        ++scenes;
        const auto layout = Layout(scene);
        std::set<std::string> kinds, named;
        for (const auto& line : layout)
            if (Item(line))
                kinds.insert(Kind(line[1]));
        ASSERT_FALSE(kinds.empty()) << "no layout lists its items";
        size_t painted = 0;
        for (const auto& line : layout)
            for (size_t i = 1; line[0] == "painted" && i < line.size(); ++i, ++painted)
                EXPECT_FALSE(kinds.count(Kind(line[i])))
                    << "the background paints a " << line[i] << ", a kind on the list";
        EXPECT_GT(painted, 0u) << "the layout does not say what its background paints";
        int decoys = 0;
        for (const auto& line : layout) {
            if (!Placed(line))
                continue;
            const std::string from = Option(line, "from");
            const std::string kind = SourceKind(from);
            const std::string what = line[0] + " " + (line[0] == "front" ? from : line[1]);
            EXPECT_FALSE(kind.empty()) << what << " is drawn from nothing of a known kind (" << from << ")";
            EXPECT_FALSE(kinds.count(kind)) << what << " is a " << kind << ", a kind on the list";
            if (line[0] != "front")
                named.insert((line[0] == "decoy" ? "Decoy_" : "Cover_") + line[1]);
            decoys += line[0] == "decoy";
        }
        EXPECT_GE(decoys, 25);
        EXPECT_EQ(DrawnDecoysAndCovers(scene), named) << "the board movie is not made from its layout";
    }
    EXPECT_EQ(scenes, 13u);
}

} // namespace
