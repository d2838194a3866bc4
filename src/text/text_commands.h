// ESC '$' text commands: slant, direction, size, text records, annotation
// lines and palette colours.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovrin {

struct Translation;
class WordReader;

// Words after the command word (reader on the command word); SIZE_MAX when
// they cannot be told.
size_t SlantLength(const WordReader& reader);
size_t TextRecordLength(const WordReader& reader);

void RunSlant(Translation& tr);           // I/1
void RunDirection(Translation& tr);       // J/1
void RunSize(Translation& tr);            // H/3
void RunSizePitch(Translation& tr);       // H/6
void RunByteText(Translation& tr);        // K
void RunJisText(Translation& tr);         // L
void RunAnnotationLine(Translation& tr);  // N/4
void RunPaletteColour(Translation& tr);   // C/1

// Extra space between character cells for a width and pitch (both non-zero):
// the pitch against the plotter's cell of 1.5 widths.
double ExtraSpace(int64_t width, double pitch);

}  // namespace tovrin
