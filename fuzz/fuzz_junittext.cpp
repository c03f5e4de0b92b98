// The JUnit report's text escaping: whatever a reply, a terminal name or a
// message holds, the escaped text is valid UTF-8 and well-formed XML 1.0,
// as an attribute and as element text; a text XML can hold whole comes
// back as it was.
//
// Input: any bytes.

#include "fuzz/fuzzsupport.h"
#include "replay/junitreport.h"

#include <QString>
#include <QXmlStreamReader>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

std::size_t marks(const std::string& text)
{
    std::size_t count = 0;
    for (std::size_t at = text.find("\xEF\xBF\xBD"); at != std::string::npos;
         at = text.find("\xEF\xBF\xBD", at + 3))
        ++count;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string escaped = tessel::xmlEscaped(text);
    FUZZ_CHECK(fuzzsupport::isUtf8(escaped));
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a v=\"" + escaped + "\">" + escaped + "</a>";
    QXmlStreamReader xml(QByteArray::fromStdString(document));
    QString body;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            body = xml.readElementText();
    }
    FUZZ_CHECK(!xml.hasError());
    // Nothing replaced, no line end for the parser to normalise: the same
    // text. Compared as bytes, since decoding would drop a leading U+FEFF.
    if (marks(escaped) == marks(text) && text.find('\r') == std::string::npos)
        FUZZ_CHECK(body.toUtf8() == QByteArray::fromStdString(text));
    return 0;
}
