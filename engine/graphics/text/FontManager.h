#pragma once
// The owner of FreeType and of every font face of the game. "fonts\fonts.xml" lists the font
// files to load, aliases that serve one requested face with another, and render rules that give a
// face at a size its own rasterisation options; ResolveFont applies them to a request. A face the
// configuration names (an alias's target, a render rule's face) that no readable file provides is
// served by another face that loaded, so that text set in it stays readable.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/Singleton.h"
#include "engine/graphics/text/FontKey.h"

namespace QuillEngine {

class XmlNode;

struct FontRenderOptions {
    // FreeType load-flag bits the configuration can set.
    static constexpr int32_t kNoHinting = 0x2;
    static constexpr int32_t kForceAutohint = 0x20;
    static constexpr int32_t kNoAutohint = 0x8000;
    static constexpr int32_t kTargetLight = 0x10000;
    static constexpr int32_t kTargetMono = 0x20000;
    static constexpr int32_t kTargetMask = 0x30000;

    int32_t loadFlags = 0;
    double alphaAdjust = 0.0;      // 0: the manager's default
    double heightMultiplier = 0.0; // 0: 1
    std::pair<int32_t, int32_t> offsetLeft{0, 0};
    std::pair<int32_t, int32_t> offsetCenter{0, 0};
    std::pair<int32_t, int32_t> offsetRight{0, 0};

    // The option attributes of `element`; each one absent keeps the value of `defaults`. The load
    // flags start from 0: only the hinting bits and the target bits can be set.
    static FontRenderOptions Load(const XmlNode& element, const FontRenderOptions& defaults);
};

struct FontDescriptor {
    String name;
    uint8_t bold = 0;
    uint8_t italic = 0;

    bool Load(const XmlNode& element);
    bool IsValid() const { return !name.empty(); }
};

struct FontAlias {
    FontDescriptor from;
    FontDescriptor to;
};

struct FontRenderRule {
    FontKey key;
    FontRenderOptions options;
};

// A face the configuration names that no file provides, and the loaded face that stands in for it.
struct FontReplacement {
    FontDescriptor wanted;
    FontDescriptor used; // the stand-in's family name and style
    FT_Face face = nullptr;
};

struct FontFace {
    String familyName; // from the face record, read in the ANSI code page
    uint8_t bold = 0;
    uint8_t italic = 0;
    FT_Face face = nullptr; // released with the library
    String fileName;        // the `src` attribute as written
    // The file's bytes: FreeType reads the face from them for the face's whole life.
    FileHandle data;
};

class FontManager : public Singleton<FontManager> {
public:
    // Font files larger than this are refused before FreeType sees them.
    static constexpr size_t kMaxFontFileSize = 64u << 20;
    static constexpr const char16_t* kConfigFile = u"fonts\\fonts.xml";
    static constexpr const char16_t* kFontFolder = u"fonts\\";

    // Starts FreeType and sets the built-in defaults; when FreeType cannot start every option
    // stays 0 and no face is ever served.
    FontManager();
    ~FontManager();
    FontManager(const FontManager&) = delete;
    FontManager& operator=(const FontManager&) = delete;

    // Reads "fonts\fonts.xml" through the XML cache and loads the faces it lists. Missing
    // configuration keeps the defaults and no faces.
    void LoadConfiguration();
    // The configuration's elements applied to this manager (the root of "fonts\fonts.xml").
    void ApplyConfiguration(const XmlNode& root);
    // The files the configuration names that could not be loaded (missing, empty, too large, not a
    // font, or cut short), each once, as written in the configuration.
    const std::vector<String>& UnreadFiles() const { return unreadFiles_; }
    // The faces the configuration names that no loaded file provides, each with its stand-in (none
    // when no face loaded at all), in the order the configuration names them.
    const std::vector<FontReplacement>& Replacements() const { return replacements_; }

    // The face of "fonts\" + fileName, loaded on first use; null when the file cannot be read, or
    // FreeType rejects it, or the face has no family name or cannot load the outlines of plain
    // letters and of its last glyph (a file cut short).
    FT_Face LoadFaceFile(const String& fileName);

    struct Resolved {
        FT_Face face = nullptr;
        FontRenderOptions options;
    };
    // The face and options serving `key`: one alias at most, then the face with that family name
    // and style (else the stand-in for a face the configuration names), then the first render rule
    // for the face used (any size when the rule says size 0). With `rawMetrics` and no rule, the
    // height multiplier and offsets are 0.
    Resolved ResolveFont(const FontKey& key, bool rawMetrics) const;

    double GetDefaultAlphaAdjust() const { return defaults_.alphaAdjust; }
    const FontRenderOptions& GetDefaultOptions() const { return defaults_; }
    bool HasLibrary() const { return library_ != nullptr; }
    const std::vector<FontFace>& Faces() const { return faces_; }
    const std::vector<FontAlias>& Aliases() const { return aliases_; }
    const std::vector<FontRenderRule>& RenderRules() const { return rules_; }

private:
    FT_Face AddFace(FT_Face face, const String& fileName, FileHandle data);
    FT_Face FindFace(const String& name, uint8_t bold, uint8_t italic) const;
    // Chooses a stand-in for every face the configuration names that no loaded face provides.
    void PlanReplacements();

    FT_Library library_ = nullptr;
    std::vector<FontFace> faces_;
    std::vector<String> unreadFiles_;
    std::vector<FontReplacement> replacements_;
    std::vector<FontAlias> aliases_;
    std::vector<FontRenderRule> rules_;
    FontRenderOptions defaults_;
};

} // namespace QuillEngine
