#pragma once

#include "engine/TabrixRecord.h"

#include <string>

// The record as UTF-8 JSON that keeps every byte: a string is {"text": "..."} when its
// bytes are Shift-JIS text that encodes back to the same bytes, else {"hex": "..."};
// blocks are hex, numbers are unsigned decimals, the version is "major.minor".
std::string RecordToJson(const TabrixRecord& record);
