// Repeat mode takes a drawing as its writer closes it, without waiting for
// the repeat timer: the window offscreen, real files.
#include <QTest>
#include <filesystem>

#include "drawing_files.h"
#include "window_fixture.h"

namespace tovrin::test {
namespace {

class AutoEventsTest : public WindowTest {
 protected:
  void SetUp() override {
    PlotSettings s = StoredDefaults();
    s.OfiFile = ofi.path();
    s.OfiOut = "ﾌｧｲﾙ";
    WriteSettings(s);
    settle_seconds = 4;  // whatever is plotted within 3 s was taken on its event
  }
};

TEST_F(AutoEventsTest, AClosedOrMovedInDrawingIsPlottedAtOnceAHalfOneWaits) {
  TempFolder staging;
  const auto drawing = LinesDrawing("EVENT", 200);
  Open("AUTO30").show();
  QTest::qWait(1000);
  WriteBytes(ofi / "A.OFI", drawing);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ofi.Exists("A.GLF"); }, 3000));
  WriteBytes(staging / "B.OFI", drawing);
  std::filesystem::rename(staging / "B.OFI", ofi / "B.OFI");
  EXPECT_TRUE(QTest::qWaitFor([&] { return ofi.Exists("B.GLF"); }, 3000));
  WriteBytes(ofi / "C.OFI", drawing, 0, drawing.size() / 2);
  QTest::qWait(1500);
  EXPECT_FALSE(ofi.Exists("C.GLF"));
  WriteBytes(ofi / "C.OFI", drawing, drawing.size() / 2, std::string::npos, true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ofi.Exists("C.GLF"); }, 3000));
  window->close();
  EXPECT_FALSE(ofi.Exists("A.OFI"));  // repeat mode deletes what it finished
  EXPECT_FALSE(ofi.Exists("C.OFI"));
}

}  // namespace
}  // namespace tovrin::test
