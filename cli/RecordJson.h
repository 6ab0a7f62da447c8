#pragma once

#include "engine/TabrixRecord.h"

#include <functional>
#include <string_view>

// Takes the next piece of the JSON; false when it did not arrive, and then is handed no more.
using JsonSink = std::function<bool(std::string_view piece)>;

// The record as UTF-8 JSON that keeps every byte: a string is {"text": "..."} when its
// bytes are Shift-JIS text that encodes back to the same bytes, else {"hex": "..."};
// blocks are hex, numbers are unsigned decimals, the version is "major.minor". The JSON goes
// to sink in pieces as it is made, so that it never lies in memory whole.
void WriteRecordJson(const TabrixRecord& record, const JsonSink& sink);
