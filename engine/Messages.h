#pragma once

#include "engine/ConversionNotes.h"
#include "engine/TabrixDocument.h"

#include <cstdint>

// The languages the engine's texts are written in. Japanese is the converter's own; the
// others stand in for it where a reader may not read it.
enum class Language { Japanese, English };

// The message of a status 2..11 in code page 932 (English is plain ASCII); nullptr for any
// other value.
const char* StatusMessage(std::int32_t status, Language language);

// What `tbxconv recover` found, in code page 932.
const char* RecoveryMessage(Recovery recovery, Language language);

// What `tbxconv convert --strict` says before the notes of a conversion that it refused, in code
// page 932.
const char* StrictRefusalMessage(Language language);
// That a save went on without looking for an interrupted save of its file, whose folder of
// journals could not be read, in code page 932.
const char* LookupFailureMessage(Language language);

// That a save rewrote its file in place with the old bytes kept aside, having no folder of
// journals: a crash meanwhile could have left it torn. In code page 932.
const char* UnjournaledMessage(Language language);

// The text of one conversion note, in code page 932.
const char* NoteMessage(ConversionNote note, Language language);
