#pragma once

// Result codes of the simulated SDK. The README lists them with their texts.
namespace tesselsim {

enum ErrorCode : unsigned short
{
    Success = 0,
    RequestNotJson = 1001,
    UnknownTerminal = 1002,
    NotLoggedIn = 1003,
    MissingMember = 1004,
    WrongCredentials = 1005,
    NothingFound = 1006,
    InvalidMember = 1007, // a member of the wrong type or out of range
    NotFound = 1008,      // no program, template, server or account of that name
    AlreadyExists = 1009,
};

} // namespace tesselsim
