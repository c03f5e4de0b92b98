// The request's serial substitution: withSerial and retargeted change nothing
// but the values of top-level "sn" members that are texts (retargeted only
// those equal to the previous serial). A text that the request check refuses
// comes back as it was; otherwise the result reads as the same JSON events
// with only those values changed, and every other byte stays in place.
//
// Input: the serial number up to the first line feed, then the request (any
// bytes, NUL characters included).

#include "fuzz/fuzzsupport.h"
#include "fuzz/jsontokens.h"
#include "requests/jsontext.h"
#include "requests/requesttarget.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using nlohmann::json;

struct Event
{
    char kind; // one of "{}[]", 'k' key, 's' string, 'n' number, 'l' literal
    std::string value;
    bool operator==(const Event& other) const { return kind == other.kind && value == other.value; }
};

class Recorder : public nlohmann::json_sax<json>
{
public:
    bool null() override { return add('l', "null"); }
    bool boolean(bool value) override { return add('l', value ? "true" : "false"); }
    bool number_integer(number_integer_t value) override { return add('n', std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return add('n', std::to_string(value)); }
    bool number_float(number_float_t, const string_t& raw) override { return add('n', raw); }
    bool string(string_t& value) override { return add('s', value); }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override { return add('{', {}); }
    bool key(string_t& value) override { return add('k', value); }
    bool end_object() override { return add('}', {}); }
    bool start_array(std::size_t) override { return add('[', {}); }
    bool end_array() override { return add(']', {}); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override
    {
        return false;
    }

    std::vector<Event> events;

private:
    bool add(char kind, std::string value)
    {
        events.push_back(Event{kind, std::move(value)});
        return true;
    }
};

std::vector<Event> eventsOf(std::string_view text)
{
    Recorder recorder;
    FUZZ_CHECK(json::sax_parse(text.begin(), text.end(), &recorder));
    return recorder.events;
}

// The raw string tokens (keys and values, in order) and the text with each of
// them emptied, which keeps everything else: blanks, marks, numbers.
std::vector<std::string_view> stringTokens(std::string_view text, std::string* skeleton)
{
    std::vector<std::string_view> strings;
    std::size_t copied = 0;
    for (std::string_view token : fuzzsupport::rawTokens(text)) {
        if (token.front() != '"')
            continue;
        const auto at = static_cast<std::size_t>(token.data() - text.data());
        skeleton->append(text.substr(copied, at - copied));
        *skeleton += "\"\"";
        copied = at + token.size();
        strings.push_back(token);
    }
    skeleton->append(text.substr(copied));
    return strings;
}

void check(std::string_view request, const std::string& result, const std::string& serial,
           const std::function<bool(const std::string&)>& wanted)
{
    if (tessel::findJsonFault(request)) {
        FUZZ_CHECK(result == request);
        return;
    }
    FUZZ_CHECK(!tessel::findJsonFault(result));
    std::vector<Event> expected = eventsOf(request);
    std::vector<bool> replaced; // per string token
    int depth = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Event& event = expected[i];
        if (event.kind == 'k' || event.kind == 's') {
            const bool serialValue = event.kind == 's' && depth == 1 && i > 0 &&
                                     expected[i - 1].kind == 'k' && expected[i - 1].value == "sn" &&
                                     wanted(event.value);
            replaced.push_back(serialValue);
            if (serialValue)
                event.value = serial;
        }
        if (event.kind == '{' || event.kind == '[')
            ++depth;
        else if (event.kind == '}' || event.kind == ']')
            --depth;
    }
    FUZZ_CHECK(eventsOf(result) == expected);

    std::string before, after;
    const auto oldStrings = stringTokens(request, &before);
    const auto newStrings = stringTokens(result, &after);
    FUZZ_CHECK(before == after);
    FUZZ_CHECK(oldStrings.size() == replaced.size() && newStrings.size() == replaced.size());
    for (std::size_t i = 0; i < replaced.size(); ++i)
        if (!replaced[i])
            FUZZ_CHECK(newStrings[i] == oldStrings[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [serialText, request] = fuzzsupport::splitAt(fuzzsupport::asText(data, size), "\n");
    const std::string serial(serialText);
    // The serial as it reads back once written into the request: a byte that
    // is not UTF-8 becomes U+FFFD.
    const std::string written =
        json::parse(json(serial).dump(-1, ' ', false, json::error_handler_t::replace)).get<std::string>();

    check(request, tessel::requesttarget::withSerial(request, serial), written,
          [](const std::string&) { return true; });
    // From the serial to a fixed one: only values equal to it change.
    const std::string next = "RETARGETED";
    check(request, tessel::requesttarget::retargeted(request, serial, next), next,
          [&serial](const std::string& value) { return value == serial; });
    return 0;
}
