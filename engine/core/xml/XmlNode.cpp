#include "engine/core/xml/XmlNode.h"

#include "engine/core/strings/StringUtil.h"

#include <tinyxml.h>

namespace QuillEngine {

namespace {

// Names and attribute values. The parser is given valid UTF-8 only, so this falls back to the
// ANSI code page only for bytes that a caller built by hand.
String DecodeName(const char* bytes)
{
    const std::string_view s(bytes ? bytes : "");
    return IsValidUtf8(s) ? FromUtf8(s) : FromCp1252(s);
}

bool Build(XmlNode& node, const TiXmlElement& element)
{
    String text;
    bool hasText = false;
    for (const TiXmlNode* child = element.FirstChild(); child; child = child->NextSibling()) {
        switch (child->Type()) {
        case TiXmlNode::TINYXML_ELEMENT: {
            auto sub = std::make_unique<XmlNode>();
            if (!Build(*sub, *child->ToElement()))
                return false;
            node.InsertChild(std::move(sub));
            break;
        }
        case TiXmlNode::TINYXML_TEXT:
            // "&#0;" is no XML character; the parser turns it into a NUL, which would silently
            // end the text there. The document is refused instead.
            if (child->ValueStr().find('\0') != std::string::npos)
                return false;
            hasText = true;
            text += FromUtf8(child->ValueStr());
            break;
        default:
            break; // comments, declarations, unknown nodes
        }
    }
    if (hasText)
        node.SetText(std::move(text));
    node.SetName(DecodeName(element.Value()));
    for (const TiXmlAttribute* a = element.FirstAttribute(); a; a = a->Next()) {
        if (a->ValueStr().find('\0') != std::string::npos)
            return false;
        node.SetAttribute(DecodeName(a->Name()), DecodeName(a->Value()));
    }
    return true;
}

// TinyXML parses nested elements recursively, so a file of a few hundred kilobytes of open tags
// would run it out of stack. Far deeper than any real document.
constexpr size_t kMaxNesting = 512;

// Whether the elements of `text` nest deeper than `limit`: counts start tags against end tags,
// skipping comments, CDATA sections, declarations and quoted attribute values the way the
// parser does.
bool NestsTooDeep(std::string_view text, size_t limit)
{
    size_t depth = 0;
    const size_t n = text.size();
    size_t i = 0;
    auto skipPast = [&](std::string_view end) {
        const size_t at = text.find(end, i);
        i = at == std::string_view::npos ? n : at + end.size();
    };
    while (i < n) {
        i = text.find('<', i);
        if (i == std::string_view::npos)
            break;
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            i += 4;
            skipPast("-->");
        } else if (rest.starts_with("<![CDATA[")) {
            i += 9;
            skipPast("]]>");
        } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
            i += 2;
            skipPast(">");
        } else if (rest.starts_with("</")) {
            i += 2;
            if (depth > 0)
                --depth;
            skipPast(">");
        } else {
            ++i;
            char quote = 0;
            char last = 0;
            for (; i < n; ++i) {
                const char c = text[i];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
                    last = c;
                }
            }
            ++i;
            if (last != '/' && ++depth > limit)
                return true;
        }
    }
    return false;
}

void AppendIndent(std::string& out, int depth)
{
    out.append(static_cast<size_t>(depth) * 4, ' ');
}

// Markup characters become entities; control characters other than tab, line feed and carriage
// return become character references (NUL cannot be written at all and is dropped).
void AppendEscaped(std::string& out, StringView text, bool attribute)
{
    size_t runStart = 0;
    auto flush = [&](size_t end) {
        if (end > runStart)
            out += ToUtf8(text.substr(runStart, end - runStart));
        runStart = end + 1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0x3F || (c > 0x20 && c != u'&' && c != u'<' && c != u'>' && c != u'"'))
            continue;
        switch (c) {
        case u'&':
            flush(i);
            out += "&amp;";
            break;
        case u'<':
            flush(i);
            out += "&lt;";
            break;
        case u'>':
            flush(i);
            out += "&gt;";
            break;
        case u'"':
            if (attribute) {
                flush(i);
                out += "&quot;";
            }
            break;
        case u'\t':
        case u'\n':
        case u'\r':
        case u' ':
            break;
        default: {
            flush(i);
            if (c != 0) {
                static const char kHex[] = "0123456789ABCDEF";
                out += "&#x";
                if (c >= 0x10)
                    out += kHex[c >> 4];
                out += kHex[c & 0xF];
                out += ';';
            }
            break;
        }
        }
    }
    flush(text.size());
}

constexpr size_t kUtf8MaxSequence = 4;

} // namespace

XmlNode::~XmlNode()
{
    // A cached document's children may still be in use through the cache; they survive a stray
    // delete of the document.
    if (m_cached)
        for (auto& child : m_children)
            (void)child.release();
}

bool XmlNode::Parse(std::string_view utf8, bool keepWhiteSpace)
{
    Clear();
    if (keepWhiteSpace)
        TiXmlBase::SetCondenseWhiteSpace(false);
    // TinyXML reads a zero-terminated text; an embedded NUL ends it. It also steps over a
    // multi-byte UTF-8 sequence by its lead byte's length without looking at the bytes, so a
    // sequence cut short by the end would carry it past the terminator: the padding keeps every
    // such step inside the buffer and on a NUL.
    std::string text(utf8.substr(0, utf8.find('\0')));
    // The parser reads UTF-8, so character references such as "&#233;" become whole characters.
    // A document that is not valid UTF-8 is a hand-made file in the ANSI code page: it is
    // converted as a whole, so its element texts and attribute values decode alike.
    if (!IsValidUtf8(text))
        text = ToUtf8(FromCp1252(text));
    if (NestsTooDeep(text, kMaxNesting))
        return false;
    text.append(kUtf8MaxSequence, '\0');
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* root = document.Error() ? nullptr : document.RootElement();
    if (!root || !Build(*this, *root)) {
        Clear();
        return false;
    }
    return true;
}

std::unique_ptr<XmlNode> XmlNode::ParseDocument(std::string_view utf8, bool keepWhiteSpace)
{
    auto node = std::make_unique<XmlNode>();
    if (!node->Parse(utf8, keepWhiteSpace))
        return nullptr;
    return node;
}

std::unique_ptr<XmlNode> XmlNode::ParseFileBytes(const uint8_t* data, size_t size, bool keepWhiteSpace)
{
    if (!data || size <= 2)
        return nullptr;
    if (data[0] == 0xFE && data[1] == 0xFF)
        return nullptr;
    if (data[0] == 0xFF && data[1] == 0xFE) {
        const size_t units = (size - 2) / 2;
        String wide(units, u'\0');
        for (size_t i = 0; i < units; ++i)
            wide[i] = static_cast<char16_t>(data[2 + 2 * i] | (data[3 + 2 * i] << 8));
        return ParseDocument(ToUtf8(wide), keepWhiteSpace);
    }
    return ParseDocument(std::string_view(reinterpret_cast<const char*>(data), size), keepWhiteSpace);
}

void XmlNode::SetText(String text)
{
    m_text = std::move(text);
    m_isEmpty = false;
}

XmlNode* XmlNode::InsertChild(std::unique_ptr<XmlNode> child, int index)
{
    if (!child)
        return nullptr;
    XmlNode* raw = child.get();
    if (index < 0 || static_cast<size_t>(index) >= m_children.size())
        m_children.push_back(std::move(child));
    else
        m_children.insert(m_children.begin() + index, std::move(child));
    m_isEmpty = false;
    return raw;
}

XmlNode* XmlNode::AddChild(String name)
{
    return InsertChild(std::make_unique<XmlNode>(std::move(name)));
}

XmlNode* XmlNode::FindChild(StringView name) const
{
    for (const auto& child : m_children)
        if (EqualsNoCase(child->m_name, name))
            return child.get();
    return nullptr;
}

XmlNode* XmlNode::FindPath(StringView path) const
{
    std::vector<String> pieces;
    Tokenize(path, pieces, u'/', true, -1);
    const XmlNode* node = this;
    for (const String& piece : pieces) {
        const XmlNode* next = nullptr;
        for (const auto& child : node->m_children) {
            if (child->m_name == piece) {
                next = child.get();
                break;
            }
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return const_cast<XmlNode*>(node);
}

String XmlNode::GetPathText(StringView path) const
{
    const XmlNode* node = FindPath(path);
    return node ? node->m_text : String();
}

void XmlNode::SelectNodes(StringView path, std::vector<XmlNode*>& out) const
{
    out.clear();
    std::vector<String> pieces;
    Tokenize(path, pieces, u'/', true, -1);
    if (pieces.empty())
        return;
    const String last = std::move(pieces.back());
    pieces.pop_back();
    const XmlNode* node = this;
    for (const String& piece : pieces) {
        const XmlNode* next = nullptr;
        for (const auto& child : node->m_children) {
            if (child->m_name == piece) {
                next = child.get();
                break;
            }
        }
        if (!next)
            return;
        node = next;
    }
    for (const auto& child : node->m_children)
        if (child->m_name == last)
            out.push_back(child.get());
}

bool XmlNode::HasAttribute(StringView name) const
{
    return m_attributes.find(name) != m_attributes.end();
}

bool XmlNode::GetAttribute(StringView name, String& value) const
{
    const auto it = m_attributes.find(name);
    if (it == m_attributes.end()) {
        value.clear();
        return false;
    }
    value = it->second;
    return true;
}

String XmlNode::GetStringAttribute(StringView name, const String& def, bool* found) const
{
    const auto it = m_attributes.find(name);
    if (found)
        *found = it != m_attributes.end();
    return it != m_attributes.end() ? it->second : def;
}

int32_t XmlNode::GetIntAttribute(StringView name, int32_t def, bool* found) const
{
    const auto it = m_attributes.find(name);
    if (found)
        *found = it != m_attributes.end();
    return it != m_attributes.end() ? ToInt(it->second) : def;
}

float XmlNode::GetFloatAttribute(StringView name, float def, bool* found) const
{
    const auto it = m_attributes.find(name);
    if (found)
        *found = it != m_attributes.end();
    return it != m_attributes.end() ? ToFloat(it->second) : def;
}

bool XmlNode::GetBoolAttribute(StringView name, bool def, bool* found) const
{
    const auto it = m_attributes.find(name);
    if (found)
        *found = it != m_attributes.end();
    if (it == m_attributes.end())
        return def;
    const String& v = it->second;
    return EqualsNoCase(v, u"true") || EqualsNoCase(v, u"t") || EqualsNoCase(v, u"yes") || EqualsNoCase(v, u"y") ||
           v == u"1";
}

std::pair<int32_t, int32_t> XmlNode::GetIntPairAttribute(StringView name, std::pair<int32_t, int32_t> def,
                                                         bool* found) const
{
    const auto it = m_attributes.find(name);
    if (found)
        *found = it != m_attributes.end();
    if (it == m_attributes.end())
        return def;
    const StringView v = it->second;
    size_t end = 0;
    const int32_t first = ParseInt32(v, 10, &end);
    if (end == 0 || end >= v.size())
        return def;
    const StringView rest = v.substr(end + 1); // exactly one separating character
    const int32_t second = ParseInt32(rest, 10, &end);
    if (end == 0)
        return def;
    return {first, second};
}

void XmlNode::SetAttribute(const String& name, const String& value)
{
    m_attributes.insert_or_assign(name, value);
}

void XmlNode::RemoveAttribute(StringView name)
{
    const auto it = m_attributes.find(name);
    if (it != m_attributes.end())
        m_attributes.erase(it);
}

void XmlNode::AppendUtf8(std::string& out, int depth) const
{
    AppendIndent(out, depth);
    out += '<';
    AppendEscaped(out, m_name, false);
    for (const auto& [name, value] : m_attributes) {
        out += ' ';
        AppendEscaped(out, name, true);
        out += "=\"";
        AppendEscaped(out, value, true);
        out += '"';
    }
    if (m_isEmpty) {
        out += "/>\n";
        return;
    }
    out += '>';
    if (!m_children.empty()) {
        out += '\n';
        for (const auto& child : m_children)
            child->AppendUtf8(out, depth + 1);
        AppendIndent(out, depth);
    } else {
        AppendEscaped(out, m_text, false);
    }
    out += "</";
    AppendEscaped(out, m_name, false);
    out += ">\n";
}

std::string XmlNode::ToUtf8String() const
{
    std::string out;
    AppendUtf8(out, 0);
    return out;
}

String XmlNode::ToString() const
{
    return FromUtf8(ToUtf8String());
}

void XmlNode::Clear()
{
    if (!m_cached)
        m_children.clear();
    m_name.clear();
    m_text.clear();
    m_attributes.clear();
    m_isEmpty = m_children.empty();
}

} // namespace QuillEngine
