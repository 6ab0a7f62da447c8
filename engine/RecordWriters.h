#pragma once

#include "engine/ConvStatus.h"
#include "engine/FormatVersion.h"
#include "engine/TabrixRecord.h"

#include <string_view>

class CFile;

// Each writer puts the record into the open file in one version's layout, field by field,
// then flushes it. 2 when every write succeeded, else the status of the failure's cause.
ConvStatus WriteVersion10(CFile& file, const TabrixRecord& record);
ConvStatus WriteVersion11(CFile& file, const TabrixRecord& record);
ConvStatus WriteVersion12(CFile& file, const TabrixRecord& record);
// The writer of version; BadFormat, and nothing written, for a version that none writes.
ConvStatus WriteVersion(CFile& file, const TabrixRecord& record, FormatVersion version);

// One string as a PString: its length byte, then its bytes. Raises the file's failure.
void WritePString(CFile& file, std::string_view text);
