#include "ofi/pending.h"

#include <string>
#include <utility>

#include "ofi/translation.h"

namespace tovrin {
namespace {

// A pending string equal to the one in force stays pending: it costs nothing
// and keeps the rule "written only when new" in one place.
void FlushOne(GlfWriter& out, std::string& pending, std::string& last) {
  if (pending.empty() || pending == last) return;
  out.Write(pending);
  last = std::move(pending);
  pending.clear();
}

}  // namespace

void FlushPendingNow(Translation& tr) {
  StrokeState& st = tr.stroke();
  if (st.pending.empty() || st.pending == st.last_written) return;
  tr.out.Write(st.pending);
  st.last_written = std::move(st.pending);
  st.pending.clear();
  FlushTextAttributes(tr);
}

void FlushTextAttributes(Translation& tr) {
  TextState& t = tr.text();
  FlushOne(tr.out, t.pending_di, t.last_di);
  FlushOne(tr.out, t.pending_es, t.last_es);
  FlushOne(tr.out, t.pending_sl, t.last_sl);
}

}  // namespace tovrin
