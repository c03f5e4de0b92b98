// The record library: JSON conversions of the SDK records. Keys are listed in
// sdk/tessel/tesselcommon.h.
#include "tessel/tesselcommon.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace tsc {
namespace {

using nlohmann::json;

// Rejects anything but an object, with the library's own type_error.
void requireObject(const json& j)
{
    (void)j.get_ref<const json::object_t&>();
}

template <typename T> void readIf(const json& j, const char* key, T& member)
{
    const auto it = j.find(key);
    if (it != j.end())
        it->get_to(member);
}

// Left to nlohmann::json, an integer member would take true as 1, cut 70000
// down to 4464 and make 1e10 undefined behaviour. Only a number whose value
// the member holds exactly is read (1920.0 is, 1.5 is not).
template <typename Integer> void readIntegerIf(const json& j, const char* key, Integer& member)
{
    const auto it = j.find(key);
    if (it == j.end())
        return;
    using Limits = std::numeric_limits<Integer>;
    bool fits = false;
    if (it->is_number_unsigned()) {
        fits = it->get<std::uint64_t>() <= static_cast<std::uint64_t>(Limits::max());
    } else if (it->is_number_integer()) {
        const auto value = it->get<std::int64_t>();
        fits = value >= Limits::min() && value <= Limits::max();
    } else if (it->is_number_float()) {
        const double value = it->get<double>();
        fits = value >= Limits::min() && value <= Limits::max() && value == std::trunc(value);
    } else {
        throw json::type_error::create(302, std::string("type must be number, but is ") + it->type_name(),
                                       &*it);
    }
    if (!fits)
        throw json::out_of_range::create(
            406, std::string("number ") + it->dump() + " does not fit member \"" + key + "\"", &*it);
    member = it->is_number_float() ? static_cast<Integer>(it->get<double>()) : it->get<Integer>();
}

} // namespace

void to_json(json& j, const SearchResponseData& r)
{
    j = json{{"sn", r.sn},
             {"width", r.width},
             {"height", r.height},
             {"name", r.name},
             {"hostLoggedIn", r.hostLoggedIn},
             {"ip", r.ip}};
}

void from_json(const json& j, SearchResponseData& r)
{
    requireObject(j);
    readIf(j, "sn", r.sn);
    readIntegerIf(j, "width", r.width);
    readIntegerIf(j, "height", r.height);
    readIf(j, "name", r.name);
    readIf(j, "hostLoggedIn", r.hostLoggedIn);
    readIf(j, "ip", r.ip);
}

void to_json(json& j, const SerchAppointIpRequest& r)
{
    j = json{{"ip", r.ip}};
}

void from_json(const json& j, SerchAppointIpRequest& r)
{
    requireObject(j);
    readIf(j, "ip", r.ip);
}

void to_json(json& j, const SerchRangeIpRequest& r)
{
    j = json{{"startIp", r.startIp}, {"endIp", r.endIp}};
}

void from_json(const json& j, SerchRangeIpRequest& r)
{
    requireObject(j);
    readIf(j, "startIp", r.startIp);
    readIf(j, "endIp", r.endIp);
}

void to_json(json& j, const LoginData& r)
{
    j = json{{"ip", r.ip},
             {"sn", r.sn},
             {"username", r.username},
             {"password", r.password},
             {"loginType", r.loginType},
             {"reserved", r.reserved}};
}

void from_json(const json& j, LoginData& r)
{
    requireObject(j);
    readIf(j, "ip", r.ip);
    readIf(j, "sn", r.sn);
    readIf(j, "username", r.username);
    readIf(j, "password", r.password);
    readIntegerIf(j, "loginType", r.loginType);
    readIntegerIf(j, "reserved", r.reserved);
}

void to_json(json& j, const LoginReplyData& r)
{
    j = json{{"sn", r.sn},           {"username", r.username},
             {"message", r.message}, {"permissions", r.permissions},
             {"logined", r.logined}, {"passwordExpired", r.passwordExpired}};
}

void from_json(const json& j, LoginReplyData& r)
{
    requireObject(j);
    readIf(j, "sn", r.sn);
    readIf(j, "username", r.username);
    readIf(j, "message", r.message);
    readIf(j, "permissions", r.permissions);
    readIf(j, "logined", r.logined);
    readIf(j, "passwordExpired", r.passwordExpired);
}

void to_json(json& j, const DissConnectData& r)
{
    j = json{{"sn", r.sn}, {"type", r.type}};
}

void from_json(const json& j, DissConnectData& r)
{
    requireObject(j);
    readIf(j, "sn", r.sn);
    readIntegerIf(j, "type", r.type);
}

void to_json(json& j, const ChangePasswordWithSN& r)
{
    j = json{{"sn", r.sn},
             {"username", r.username},
             {"oldPassword", r.oldPassword},
             {"newPassword", r.newPassword}};
}

void from_json(const json& j, ChangePasswordWithSN& r)
{
    requireObject(j);
    readIf(j, "sn", r.sn);
    readIf(j, "username", r.username);
    readIf(j, "oldPassword", r.oldPassword);
    readIf(j, "newPassword", r.newPassword);
}

} // namespace tsc
