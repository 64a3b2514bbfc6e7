// Parses arbitrary bytes as an XML file (with the file encodings the document cache accepts),
// writes the tree back out and parses the output again: the writer's output must always be
// readable.

#include "engine/core/xml/XmlNode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using QuillEngine::XmlNode;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte picks the white-space mode; TinyXML's setting is process-wide and stays on
    // once set, so most runs exercise the condensing mode only until a kept-space input comes.
    const bool keepWhiteSpace = size > 0 && (data[0] & 1) != 0;
    std::unique_ptr<XmlNode> document = XmlNode::ParseFileBytes(data, size, keepWhiteSpace);
    if (!document)
        return 0;
    const std::string written = document->ToUtf8String();
    std::unique_ptr<XmlNode> again = XmlNode::ParseDocument(written, keepWhiteSpace);
    if (!again)
        std::abort();
    // A second write of the reparsed tree is not compared: condensing can legitimately change
    // texts that were pure white space.
    (void)again->ToString();
    return 0;
}
