#include "engine/graphics/text/FontManager.h"

#include <algorithm>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"

namespace QuillEngine {

namespace {

void TakeBit(int32_t& flags, const XmlNode& element, StringView attribute, int32_t bit, int32_t defaultFlags)
{
    bool found = false;
    const bool on = element.GetBoolAttribute(attribute, false, &found);
    if (found ? on : (defaultFlags & bit) != 0)
        flags |= bit;
}

// Children named exactly `name`, in document order.
template <class Fn> void ForEachChild(const XmlNode& root, StringView name, Fn&& fn)
{
    for (const auto& child : root.Children())
        if (child->GetName() == name)
            fn(*child);
}

// A face FreeType opened can still be cut short: the tables past the cut are dropped, which can
// leave it without a family name, without a character map or without outlines. It is usable when
// it has a name, maps plain letters and digits, and loads their outlines and that of its last
// glyph (the outlines lie in glyph order, so the last one is the first a cut takes).
bool FaceUsable(FT_Face face)
{
    if (!face->family_name || !*face->family_name || face->num_glyphs <= 0)
        return false;
    constexpr FT_Int32 kOutlineOnly = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    for (const FT_ULong c : {FT_ULong('A'), FT_ULong('a'), FT_ULong('0')}) {
        const FT_UInt glyph = FT_Get_Char_Index(face, c);
        if (glyph == 0 || FT_Load_Glyph(face, glyph, kOutlineOnly) != 0)
            return false;
    }
    return FT_Load_Glyph(face, static_cast<FT_UInt>(face->num_glyphs - 1), kOutlineOnly) == 0;
}

} // namespace

FontRenderOptions FontRenderOptions::Load(const XmlNode& element, const FontRenderOptions& defaults)
{
    FontRenderOptions o = defaults;
    o.loadFlags = 0;
    String antialias;
    if (element.GetAttribute(u"antialias", antialias)) {
        if (EqualsNoCase(antialias, u"light"))
            o.loadFlags |= kTargetLight;
        else if (EqualsNoCase(antialias, u"none"))
            o.loadFlags |= kTargetMono;
        else if (antialias.empty())
            o.loadFlags |= defaults.loadFlags & kTargetMask;
    } else {
        o.loadFlags |= defaults.loadFlags & kTargetMask;
    }
    TakeBit(o.loadFlags, element, u"disableHinting", kNoHinting, defaults.loadFlags);
    TakeBit(o.loadFlags, element, u"disableAutoHinting", kNoAutohint, defaults.loadFlags);
    TakeBit(o.loadFlags, element, u"forceAutoHinting", kForceAutohint, defaults.loadFlags);
    String number;
    if (element.GetAttribute(u"alphaAdjust", number))
        o.alphaAdjust = ToDouble(number);
    if (element.GetAttribute(u"heightMultiplier", number))
        o.heightMultiplier = ToDouble(number);
    o.offsetLeft = element.GetIntPairAttribute(u"offsetLeftAlign", defaults.offsetLeft);
    o.offsetCenter = element.GetIntPairAttribute(u"offsetCenterAlign", defaults.offsetCenter);
    o.offsetRight = element.GetIntPairAttribute(u"offsetRightAlign", defaults.offsetRight);
    return o;
}

bool FontDescriptor::Load(const XmlNode& element)
{
    name = element.GetStringAttribute(u"name", String());
    bold = element.GetBoolAttribute(u"bold", false) ? 1 : 0;
    italic = element.GetBoolAttribute(u"italic", false) ? 1 : 0;
    return IsValid();
}

FontManager::FontManager()
{
    if (FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
        return;
    }
    defaults_.loadFlags = 0;
    defaults_.alphaAdjust = 1.1;
    defaults_.heightMultiplier = 1.07;
    defaults_.offsetLeft = {2, -3};
    defaults_.offsetCenter = {0, -2};
    defaults_.offsetRight = {0, -3};
}

FontManager::~FontManager()
{
    // Faces go with the library; their bytes must outlive them, so the list is emptied after.
    if (library_)
        FT_Done_FreeType(library_);
    library_ = nullptr;
    faces_.clear();
    aliases_.clear();
    rules_.clear();
}

void FontManager::LoadConfiguration()
{
    if (!library_)
        return;
    XmlCache* cache = XmlCache::Instance();
    const XmlNode* root = cache ? cache->Get(kConfigFile) : nullptr;
    if (root)
        ApplyConfiguration(*root);
}

void FontManager::ApplyConfiguration(const XmlNode& root)
{
    if (!library_)
        return;
    for (const auto& child : root.Children()) {
        if (EqualsNoCase(child->GetName(), u"options")) {
            defaults_ = FontRenderOptions::Load(*child, defaults_);
            break;
        }
    }
    ForEachChild(root, u"file", [this](const XmlNode& file) {
        if (file.GetBoolAttribute(u"system", false))
            return;
        const String name = file.GetStringAttribute(u"src", String());
        if (!LoadFaceFile(name) && std::find(unreadFiles_.begin(), unreadFiles_.end(), name) == unreadFiles_.end())
            unreadFiles_.push_back(name);
    });
    ForEachChild(root, u"alias", [this](const XmlNode& alias) {
        const XmlNode* from = alias.FindChild(u"from");
        const XmlNode* to = alias.FindChild(u"to");
        FontAlias entry;
        if (from && to && entry.from.Load(*from) && entry.to.Load(*to))
            aliases_.push_back(std::move(entry));
    });
    ForEachChild(root, u"render", [this](const XmlNode& render) {
        FontRenderRule rule;
        rule.key.name = render.GetStringAttribute(u"name", String());
        rule.key.size = render.GetIntAttribute(u"size", 0);
        rule.key.bold = render.GetBoolAttribute(u"bold", false) ? 1 : 0;
        rule.key.italic = render.GetBoolAttribute(u"italic", false) ? 1 : 0;
        rule.options = FontRenderOptions::Load(render, defaults_);
        rules_.push_back(std::move(rule));
    });
    PlanReplacements();
}

FT_Face FontManager::FindFace(const String& name, uint8_t bold, uint8_t italic) const
{
    for (const FontFace& f : faces_)
        if (f.bold == bold && f.italic == italic && EqualsNoCase(f.familyName, name))
            return f.face;
    return nullptr;
}

void FontManager::PlanReplacements()
{
    replacements_.clear();
    std::vector<FontDescriptor> named;
    for (const FontAlias& alias : aliases_)
        named.push_back(alias.to);
    for (const FontRenderRule& rule : rules_)
        named.push_back(FontDescriptor{rule.key.name, rule.key.bold, rule.key.italic});
    for (const FontDescriptor& wanted : named) {
        const bool planned = std::any_of(replacements_.begin(), replacements_.end(), [&](const FontReplacement& r) {
            return r.wanted.bold == wanted.bold && r.wanted.italic == wanted.italic &&
                   EqualsNoCase(r.wanted.name, wanted.name);
        });
        // A target that names another alias is a chain, which aliases never follow: no face is
        // missing there.
        const bool chained = std::any_of(aliases_.begin(), aliases_.end(), [&](const FontAlias& alias) {
            return EqualsNoCase(alias.from.name, wanted.name);
        });
        if (planned || chained || !wanted.IsValid() || FindFace(wanted.name, wanted.bold, wanted.italic))
            continue;
        // The first face in file order of the same style, then of the same weight, then any;
        // proportional faces before fixed-width ones, which read as code rather than text.
        const FontFace* best = nullptr;
        int bestRank = 0;
        for (const FontFace& f : faces_) {
            const int rank = (FT_IS_FIXED_WIDTH(f.face) ? 0 : 4) + (f.bold == wanted.bold ? 2 : 0) +
                             (f.italic == wanted.italic ? 1 : 0) + 1;
            if (rank > bestRank) {
                best = &f;
                bestRank = rank;
            }
        }
        FontReplacement replacement;
        replacement.wanted = wanted;
        if (best) {
            replacement.used = FontDescriptor{best->familyName, best->bold, best->italic};
            replacement.face = best->face;
        }
        replacements_.push_back(std::move(replacement));
    }
}

FT_Face FontManager::LoadFaceFile(const String& fileName)
{
    for (const FontFace& f : faces_)
        if (EqualsNoCase(f.fileName, fileName))
            return f.face;
    FileManager* files = FileManager::Instance();
    if (!library_ || !files || fileName.empty())
        return nullptr;
    FileHandle data = files->LoadFile(kFontFolder + fileName);
    // FreeType takes the size as a signed long; an empty or huge file is not worth offering it.
    if (!data || data.Size() == 0 || data.Size() > kMaxFontFileSize)
        return nullptr;
    FT_Open_Args args{};
    args.flags = FT_OPEN_MEMORY;
    args.memory_base = data.Data();
    args.memory_size = static_cast<FT_Long>(data.Size());
    FT_Face face = nullptr;
    if (FT_Open_Face(library_, &args, 0, &face) != 0 || !face)
        return nullptr;
    if (!FaceUsable(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    return AddFace(face, fileName, std::move(data));
}

FT_Face FontManager::AddFace(FT_Face face, const String& fileName, FileHandle data)
{
    FontFace entry;
    entry.familyName = face->family_name ? FromCp1252(face->family_name) : String();
    entry.bold = (face->style_flags & FT_STYLE_FLAG_BOLD) ? 1 : 0;
    entry.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) ? 1 : 0;
    entry.face = face;
    entry.fileName = fileName;
    entry.data = std::move(data);
    // OpenType fonts without a FreeType kerning table get their pair kerning from the GPOS table,
    // which the text layout reads the first time it lays out with the face.
    faces_.push_back(std::move(entry));
    return face;
}

FontManager::Resolved FontManager::ResolveFont(const FontKey& requested, bool rawMetrics) const
{
    Resolved result;
    if (!library_)
        return result;
    FontKey key = requested;
    for (const FontAlias& alias : aliases_) {
        if (alias.from.bold == key.bold && alias.from.italic == key.italic && EqualsNoCase(alias.from.name, key.name)) {
            key.name = alias.to.name;
            key.bold = alias.to.bold;
            key.italic = alias.to.italic;
            break;
        }
    }
    result.face = FindFace(key.name, key.bold, key.italic);
    if (!result.face) {
        for (const FontReplacement& r : replacements_) {
            if (r.face && r.wanted.bold == key.bold && r.wanted.italic == key.italic &&
                EqualsNoCase(r.wanted.name, key.name)) {
                result.face = r.face;
                // The stand-in renders by its own family's rules.
                key.name = r.used.name;
                key.bold = r.used.bold;
                key.italic = r.used.italic;
                break;
            }
        }
    }
    if (!result.face)
        return result;
    for (const FontRenderRule& rule : rules_) {
        if (rule.key.Matches(key, true)) {
            result.options = rule.options;
            return result;
        }
    }
    result.options.loadFlags = defaults_.loadFlags;
    result.options.alphaAdjust = defaults_.alphaAdjust;
    if (!rawMetrics) {
        result.options.heightMultiplier = defaults_.heightMultiplier;
        result.options.offsetLeft = defaults_.offsetLeft;
        result.options.offsetCenter = defaults_.offsetCenter;
        result.options.offsetRight = defaults_.offsetRight;
    }
    return result;
}

} // namespace QuillEngine
