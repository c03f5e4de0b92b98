#pragma once

// The SDK's records and their JSON conversions (the record library).
//
// JSON keys, one table for all records. A record is written as an object with
// exactly these keys (nlohmann::json keeps object keys sorted). Reading fills
// the members whose keys are present; a key of the wrong JSON type, a number
// that its integer member cannot hold exactly, or a value that is not an
// object, is rejected with nlohmann::json's own exception.
//
//   SearchResponseData     "sn" string, "width" int16, "height" int16,
//                          "name" string, "hostLoggedIn" bool, "ip" string
//   SerchAppointIpRequest  "ip" string
//   SerchRangeIpRequest    "startIp" string, "endIp" string
//   LoginData              "ip" string, "sn" string, "username" string,
//                          "password" string, "loginType" int32, "reserved" int32
//   LoginReplyData         "sn" string, "username" string, "message" string,
//                          "permissions" array of strings, "logined" bool,
//                          "passwordExpired" bool
//   DissConnectData        "sn" string, "type" int32
//   ChangePasswordWithSN   "sn" string, "username" string,
//                          "oldPassword" string, "newPassword" string

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace tsc {

struct SearchResponseData
{
    std::string sn;
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::string name;
    bool hostLoggedIn = false; // a host computer is logged in to the terminal
    std::string ip;
};

struct SerchAppointIpRequest
{
    std::string ip;
};

struct SerchRangeIpRequest
{
    std::string startIp;
    std::string endIp;
};

struct LoginData
{
    std::string ip;
    std::string sn;
    std::string username;
    std::string password;
    std::int32_t loginType = 0; // 0 user login, 1 system login
    std::int32_t reserved = 0;
};

struct LoginReplyData
{
    std::string sn;
    std::string username;
    std::string message;
    std::vector<std::string> permissions;
    bool logined = false;
    bool passwordExpired = false;
};

struct DissConnectData
{
    std::string sn;
    std::int32_t type = 0;
};

struct ChangePasswordWithSN
{
    std::string sn;
    std::string username;
    std::string oldPassword;
    std::string newPassword;
};

#define TESSEL_RECORD_FUNCTIONS(Record)                                                                      \
    void to_json(nlohmann::json& j, const Record& r);                                                        \
    void from_json(const nlohmann::json& j, Record& r);

TESSEL_RECORD_FUNCTIONS(SearchResponseData)
TESSEL_RECORD_FUNCTIONS(SerchAppointIpRequest)
TESSEL_RECORD_FUNCTIONS(SerchRangeIpRequest)
TESSEL_RECORD_FUNCTIONS(LoginData)
TESSEL_RECORD_FUNCTIONS(LoginReplyData)
TESSEL_RECORD_FUNCTIONS(DissConnectData)
TESSEL_RECORD_FUNCTIONS(ChangePasswordWithSN)

#undef TESSEL_RECORD_FUNCTIONS

} // namespace tsc
