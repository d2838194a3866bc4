#include "ofi/sheet_commands.h"

#include "ofi/translation.h"

namespace tovrin {

void RunScale(Translation& tr) {
  tr.sheet().DrawingScale = tr.reader.ReadSigned() * tr.sheet().ReductionRatio;
}

void RunPenChoice(Translation& tr) { tr.reader.ReadSigned(); }

void RunCopies(Translation& tr) { tr.sheet().CopyCount = tr.reader.ReadSigned(); }

void RunDashUnit(Translation& tr) { tr.sheet().DashUnit = 1.86 * tr.reader.ReadUnsigned(); }

}  // namespace tovrin
