#pragma once

// Conversions between SDK records and their request or reply texts.

#include "tessel/tesselcommon.h"

#include <nlohmann/json.hpp>

#include <string>

// Compact JSON (no blanks between tokens), non-ASCII characters as UTF-8.
template <typename Record> std::string recordToJson(const Record& record)
{
    nlohmann::json value;
    tsc::to_json(value, record);
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Fills `record` from a UTF-8 JSON text. A text that does not parse, or that
// the record library rejects, leaves the record exactly as it was; the
// result tells whether it was filled.
template <typename Record> bool recordFromJson(const std::string& text, Record& record)
{
    try {
        const nlohmann::json value = nlohmann::json::parse(text);
        Record filled = record;
        tsc::from_json(value, filled);
        record = std::move(filled);
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}
