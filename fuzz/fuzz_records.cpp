// recordFromJson over every SDK record: a rejected text leaves the record as it
// was; an accepted one sets exactly the members whose keys it holds, to the
// values it holds (nothing truncated or coerced), and survives a round trip.
//
// Input: one byte choosing the record ('0' to '6'), then the JSON text.

#include "fuzz/fuzzsupport.h"
#include "fuzz/jsonvalues.h"
#include "requests/records.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using nlohmann::json;

template <typename Record> json asJson(const Record& record)
{
    json value;
    tsc::to_json(value, record);
    return value;
}

// Distinctive values in every member, so that a member written by mistake shows.
void prefill(tsc::SearchResponseData& r)
{
    r = {"OLD-SN", 11, -12, "旧名", true, "10.0.0.1"};
}
void prefill(tsc::SerchAppointIpRequest& r)
{
    r = {"10.0.0.2"};
}
void prefill(tsc::SerchRangeIpRequest& r)
{
    r = {"10.0.0.3", "10.0.0.4"};
}
void prefill(tsc::LoginData& r)
{
    r = {"10.0.0.5", "OLD-SN", "旧用户", "old", 7, -8};
}
void prefill(tsc::LoginReplyData& r)
{
    r = {"OLD-SN", "旧用户", "old message", {"p1", "p2"}, true, true};
}
void prefill(tsc::DissConnectData& r)
{
    r = {"OLD-SN", 9};
}
void prefill(tsc::ChangePasswordWithSN& r)
{
    r = {"OLD-SN", "旧用户", "old", "new"};
}

template <typename Record> void check(const std::string& text)
{
    Record record;
    prefill(record);
    const json before = asJson(record);

    if (!recordFromJson(text, record)) {
        FUZZ_CHECK(fuzzsupport::sameValue(asJson(record), before));
        return;
    }

    // Accepted: the text is a JSON object, and each member shows either its
    // key's value from the text or, without the key, its old value.
    const json input = json::parse(text);
    FUZZ_CHECK(input.is_object());
    const json after = asJson(record);
    FUZZ_CHECK(after.size() == before.size());
    for (const auto& item : after.items()) {
        const auto given = input.find(item.key());
        FUZZ_CHECK(
            fuzzsupport::sameValue(item.value(), given != input.end() ? *given : before.at(item.key())));
    }

    // The written text is compact UTF-8 and reads back as the same record.
    const std::string written = recordToJson(record);
    FUZZ_CHECK(fuzzsupport::isUtf8(written));
    FUZZ_CHECK(json::parse(written).dump() == written);
    Record again;
    FUZZ_CHECK(recordFromJson(written, again));
    FUZZ_CHECK(fuzzsupport::sameValue(asJson(again), after));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (static_cast<std::uint8_t>(data[0] - '0') % 7) {
    case 0:
        check<tsc::SearchResponseData>(text);
        break;
    case 1:
        check<tsc::SerchAppointIpRequest>(text);
        break;
    case 2:
        check<tsc::SerchRangeIpRequest>(text);
        break;
    case 3:
        check<tsc::LoginData>(text);
        break;
    case 4:
        check<tsc::LoginReplyData>(text);
        break;
    case 5:
        check<tsc::DissConnectData>(text);
        break;
    case 6:
        check<tsc::ChangePasswordWithSN>(text);
        break;
    }
    return 0;
}
