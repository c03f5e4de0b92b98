#include "operations/codesnippet.h"

#include "export/exportgenerator.h"
#include "requests/requestrunner.h"

#include <cstdio>

namespace tessel {

namespace {

void appendUnicodeEscape(std::string& out, unsigned codePoint)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", codePoint);
    out += buffer;
}

} // namespace

// Both languages share the escapes. Java turns \uXXXX into the character
// before it reads the literal, so line ends must never take that form.
std::string stringLiteral(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        switch (byte) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            appendUnicodeEscape(out, byte);
            continue;
        }
        // U+0085, U+2028 and U+2029 end a line in C# source; the C1 controls
        // are invisible. Both are escaped; other UTF-8 stays as it is.
        if (byte == 0xC2 && at + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[at + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                appendUnicodeEscape(out, next);
                ++at;
                continue;
            }
        }
        if (byte == 0xE2 && at + 2 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0x80) {
            const auto last = static_cast<unsigned char>(text[at + 2]);
            if (last == 0xA8 || last == 0xA9) {
                appendUnicodeEscape(out, 0x2000u + (last - 0x80u));
                at += 2;
                continue;
            }
        }
        out += static_cast<char>(byte);
    }
    out += '"';
    return out;
}

namespace {

std::string headerLine(std::string_view apiName)
{
    return "// " + std::string(apiName) + ": prints the result code and the reply.\n";
}

} // namespace

std::optional<std::string> csharpSnippet(std::string_view apiName, std::string_view request)
{
    const char* operation = RequestRunner::sdkOperation(apiName);
    if (!operation)
        return std::nullopt;
    const QByteArray method = ExportGenerator::capitalForm(QByteArray(operation));
    std::string out = "using System;\n"
                      "using System.Runtime.InteropServices;\n"
                      "using System.Text;\n"
                      "using tesselcoresample;\n\n";
    out += headerLine(apiName);
    out += "// Keep the callback referenced until the reply has come.\n"
           "exportTesselCallback callback = (code, reply) =>\n"
           "    Console.WriteLine(code + \" \" + Marshal.PtrToStringUTF8(reply));\n";
    out += "byte[] request = Encoding.UTF8.GetBytes(" + stringLiteral(request) + ");\n";
    out += "tesselcore." + method.toStdString() + "(request, callback);\n";
    return out;
}

std::optional<std::string> javaSnippet(std::string_view apiName, std::string_view request)
{
    const char* operation = RequestRunner::sdkOperation(apiName);
    if (!operation)
        return std::nullopt;
    std::string out = "import com.corvane.tessel.tesselcore;\n\n";
    out += headerLine(apiName);
    out += "tesselcore.CallBack callBack = (code, reply) ->\n"
           "    System.out.println(Short.toUnsignedInt(code) + \" \" + reply);\n";
    out += "String request = " + stringLiteral(request) + ";\n";
    out += "tesselcore.INSTANCE." + std::string(operation) + "(request, callBack);\n";
    return out;
}

} // namespace tessel
