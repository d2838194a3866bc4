#include "text/text_commands.h"

#include "ofi/translation.h"

namespace tovrin {

size_t SlantLength(const WordReader&) { return 1; }
size_t TextRecordLength(const WordReader& reader) { return reader.Current() >> 8; }

void RunSlant(Translation&) {}
void RunDirection(Translation&) {}
void RunSize(Translation&) {}
void RunSizePitch(Translation&) {}
void RunByteText(Translation&) {}
void RunJisText(Translation&) {}

}  // namespace tovrin
