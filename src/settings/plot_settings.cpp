#include "settings/plot_settings.h"

#include "settings/values.h"

namespace tovrin {

PlotSettings PlotSettings::Defaults(const std::string& start_folder) {
  PlotSettings s;
  s.OfiFile = start_folder;
  return s;
}

double PlotSettings::PaletteColour(int number) const {
  const double colours[] = {OfiC1, OfiC2, OfiC3, OfiC4, OfiC5, OfiC6,
                            OfiC7, OfiC8, OfiC9, OfiCA, OfiCB};
  if (number < 1 || number > 11) return 0;
  return colours[number - 1];
}

const std::array<SettingInfo, kSettingCount>& SettingTable() {
  using P = PlotSettings;
  static const std::array<SettingInfo, kSettingCount> table = {{
      {"OfiFile", &P::OfiFile, 0, "* ＯＦＩ ファイルの場所"},
      {"OfiMajX", &P::OfiMajX, 18, "* プロッター左右マージン"},
      {"OfiMajY", &P::OfiMajY, 18, "* プロッター上下マージン"},
      {"OfiA4V", &P::OfiA4V, 19, "* Ａ４ 縦の回転量"},
      {"OfiA4H", &P::OfiA4H, 19, "* Ａ４ 横の回転量"},
      {"OfiA3", &P::OfiA3, 20, "* Ａ３ 横の回転量"},
      {"OfiA2V", &P::OfiA2V, 19, "* Ａ２ 縦の回転量"},
      {"OfiA2H", &P::OfiA2H, 19, "* Ａ２ 横の回転量"},
      {"OfiA1", &P::OfiA1, 20, "* Ａ１ 横の回転量"},
      {"OfiA0", &P::OfiA0, 20, "* Ａ０ 横の回転量"},
      {"Plot", &P::Plot, 21, "* プロッターサイズ"},
      {"OfiB4", &P::OfiB4, 20, "* Ａ４ カット紙の向き"},
      {"OfiB3", &P::OfiB3, 20, "* Ａ３ カット紙の向き"},
      {"OfiB2", &P::OfiB2, 20, "* Ａ２ カット紙の向き"},
      {"OfiB1", &P::OfiB1, 20, "* Ａ１ カット紙の向き"},
      {"LineL", &P::LineL, 20, "* 太線のペンＮｏ"},
      {"LineM", &P::LineM, 20, "* 中線のペンＮｏ"},
      {"LineS", &P::LineS, 20, "* 細線のペンＮｏ"},
      {"LineT", &P::LineT, 20, "* 注記のペンＮｏ"},
      {"LineP", &P::LineP, 20, "* パタ-ンのペンＮｏ"},
      {"LineD", &P::LineD, 20, "* 破断線のペンＮｏ"},
      {"LineZ", &P::LineZ, 20, "*全角文字の太さ"},
      {"LineE", &P::LineE, 20, "*半角英数の太さ"},
      {"LineK", &P::LineK, 20, "*全角記号の太さ"},
      {"LineH", &P::LineH, 20, "*半角カタカナの太さ"},
      {"OfiS", &P::OfiS, 21, "* 縮小率"},
      {"MojiK", &P::MojiK, 18, "* カタカナ文字セット"},
      {"MojiE", &P::MojiE, 18, "* 英数記号文字セット"},
      {"MojiW", &P::MojiW, 20, "* 漢字幅変更倍率"},
      {"MojiH", &P::MojiH, 20, "* 漢字高さ変更倍率"},
      {"MojiX", &P::MojiX, 20, "* 漢字Ｘ座標変更倍率"},
      {"MojiY", &P::MojiY, 20, "* 漢字Ｙ座標変更倍率"},
      {"OfiMh", &P::OfiMh, 20, "* 上下合計マージ"},
      {"OfiMw", &P::OfiMw, 20, "* 左右合計マージ"},
      {"OfiC1", &P::OfiC1, 20, "* パレットＮｏ1の色"},
      {"OfiC2", &P::OfiC2, 20, "* パレットＮｏ2の色"},
      {"OfiC3", &P::OfiC3, 20, "* パレットＮｏ3の色"},
      {"OfiC4", &P::OfiC4, 20, "* パレットＮｏ4の色"},
      {"OfiC5", &P::OfiC5, 20, "* パレットＮｏ5の色"},
      {"OfiC6", &P::OfiC6, 20, "* パレットＮｏ6の色"},
      {"OfiC7", &P::OfiC7, 20, "* パレットＮｏ7の色"},
      {"OfiC8", &P::OfiC8, 20, "* パレットＮｏ8の色"},
      {"OfiC9", &P::OfiC9, 20, "* パレットＮｏ9の色"},
      {"OfiCA", &P::OfiCA, 20, "* パレットＮｏ10の色"},
      {"OfiCB", &P::OfiCB, 20, "* パレットＮｏ11の色"},
      {"OfiFMen", &P::OfiFMen, 16, "* ﾌｧｲﾙ選択方法"},
      {"OfiFEnd", &P::OfiFEnd, 16, "* 終了ﾌｧｲﾙの処理"},
      {"OfiOut", &P::OfiOut, 19, "* GLFﾌｧｲﾙの出力先"},
      {"Hprn", &P::Hprn, 19, "* 出力先プリンタ名"},
      {"OfiTop", &P::OfiTop, 19, "* 画面1の上下位置"},
      {"OfiLeft", &P::OfiLeft, 18, "* 画面1の左右位置"},
      {"FilTop", &P::FilTop, 19, "* 画面3の上下位置"},
      {"FilLeft", &P::FilLeft, 18, "* 画面3の左右位置"},
      {"PrnTop", &P::PrnTop, 19, "* 画面4の上下位置"},
      {"PrnLeft", &P::PrnLeft, 18, "* 画面4の左右位置"},
  }};
  return table;
}

const SettingInfo* FindSetting(std::string_view key) {
  for (const SettingInfo& info : SettingTable())
    if (key == info.key) return &info;
  return nullptr;
}

bool ApplySettingText(PlotSettings& settings, const SettingInfo& info, std::string_view text) {
  struct Apply {
    PlotSettings& s;
    std::string_view text;
    bool operator()(std::string PlotSettings::*m) const {
      s.*m = std::string(text);
      return true;
    }
    bool operator()(float PlotSettings::*m) const {
      s.*m = static_cast<float>(LeadingNumber(text));
      return true;
    }
    bool operator()(double PlotSettings::*m) const {
      s.*m = LeadingNumber(text);
      return true;
    }
    bool operator()(int16_t PlotSettings::*m) const {
      std::optional<int16_t> v = RoundToInt16(LeadingNumber(text));
      if (!v) return false;
      s.*m = *v;
      return true;
    }
  };
  return std::visit(Apply{settings, text}, info.member);
}

std::string SettingText(const PlotSettings& settings, const SettingInfo& info) {
  struct Text {
    const PlotSettings& s;
    std::string operator()(std::string PlotSettings::*m) const { return s.*m; }
    std::string operator()(float PlotSettings::*m) const { return GeneralNumber(s.*m); }
    std::string operator()(double PlotSettings::*m) const { return GeneralNumber(s.*m); }
    std::string operator()(int16_t PlotSettings::*m) const { return std::to_string(s.*m); }
  };
  return std::visit(Text{settings}, info.member);
}

}  // namespace tovrin
