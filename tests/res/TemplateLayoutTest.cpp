// Every template as the JSON dump prints it, checked against an independent listing of the
// dialogs: control order, ID, kind, rectangle and text, plus caption, font, size and frame.
#include "res/Resources.h"
#include "res/TemplateJson.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// template, control ID, kind, x, y, width, height, "text" (empty for controls without one)
constexpr const char *kExpectedControls = R"TBL(
100 -1 Icon 11 17 20 20 "128"
100 -1 Static 40 10 119 8 "Pelora2 Version 1.0"
100 1 DefPushButton 178 7 50 14 "OK"
100 1000 Static 11 42 217 16 "ボードライブラリ:"
102 1019 PushButton 30 45 73 24 "スタート"
102 -1 Static 32 24 24 8 "基板ID："
102 1037 ComboBox 57 21 27 40 ""
102 -1 Static 81 82 47 8 "2003.10.20 更新"
129 1 DefPushButton 130 72 50 14 "終了"
129 1000 PushButton 130 28 50 14 "参照"
129 1001 PushButton 130 49 50 14 "ダウンロード"
129 1004 Edit 7 28 113 14 ""
129 -1 Static 7 13 79 8 "ダウンロードファイル指定"
130 1039 PushButton 265 349 50 14 "開始"
130 1040 PushButton 322 349 50 14 "停止"
130 1023 Frame 7 17 368 323 ""
130 -1 Static 7 7 28 8 "画像表示"
130 1031 Edit 204 349 34 14 ""
130 -1 Static 157 353 47 8 "バッファサイズ："
130 -1 Static 241 353 17 8 "(Hex)"
130 1069 RadioButton 48 359 38 10 "Overlay"
130 1070 RadioButton 13 359 30 10 "BMP"
130 -1 GroupBox 7 347 81 30 "表示形式"
130 -1 GroupBox 7 380 109 30 "オーバーレイ色"
130 1071 Edit 22 389 19 14 ""
130 1072 Edit 57 389 19 14 ""
130 1073 Edit 91 389 19 14 ""
130 -1 Static 13 392 8 8 "R"
130 -1 Static 48 392 8 8 "G"
130 -1 Static 82 392 8 8 "B"
133 1039 PushButton 67 301 50 18 "開始"
133 -1 Static 7 7 48 8 "画像表示"
133 1040 PushButton 126 301 59 18 "フレーム中止"
133 1041 Edit 524 95 48 14 ""
133 -1 Static 447 99 69 8 "Scan中止Timeout："
133 1045 ComboBox 353 27 71 30 ""
133 -1 Static 281 31 55 8 "Scan種別："
133 1046 ComboBox 353 47 71 52 ""
133 -1 Static 281 51 47 8 "Scan単位："
133 -1 Static 452 72 66 8 "Pixelのbit単位："
133 1047 ComboBox 524 68 48 53 ""
133 1048 Edit 524 28 48 14 ""
133 -1 Static 452 31 70 8 "ライン数/frame："
133 -1 Static 448 51 72 8 "ピクセル数/line："
133 1049 Edit 524 48 48 14 ""
133 -1 GroupBox 271 15 328 177 "パラメータ"
133 -1 Static 281 98 45 8 "起動回数："
133 1050 Edit 374 95 48 14 ""
133 1 PushButton 529 325 61 18 "閉じる"
133 1054 PushButton 7 301 50 18 "ダンプ表示"
133 1055 Frame 7 19 254 174 ""
133 1058 Edit 7 200 254 93 ""
133 -1 GroupBox 271 233 158 30 " 開始方法 "
133 1059 RadioButton 281 245 40 10 "ボタン"
133 1060 RadioButton 344 245 44 10 "DSP制御"
133 1004 Edit 194 7 66 12 ""
133 -1 Static 114 7 73 8 "Hook関数Call回数："
133 1061 PushButton 182 324 74 18 "画像取得要求発行"
133 -1 Static 281 133 89 8 "Hook関数スリープ時間："
133 1062 Edit 374 131 48 14 ""
133 -1 Static 426 134 17 8 "(ms)"
133 1063 RadioButton 281 283 32 10 "自動"
133 1064 RadioButton 344 283 32 10 "手動"
133 1065 PushButton 67 324 50 18 "排他権獲得"
133 1066 PushButton 125 324 50 18 "排他権開放"
133 -1 Static 281 152 109 8 "Scan起動後の取得発行Delay："
133 1077 Edit 394 150 28 14 ""
133 -1 Static 426 153 17 8 "(ms)"
133 -1 Static 281 115 73 8 "取得要求発行回数："
133 1079 Edit 374 113 48 14 ""
133 1078 GroupBox 272 197 156 31 "取得要求発行位置"
133 -1 GroupBox 443 198 156 30 "取得要求バッファモード"
133 1080 RadioButton 453 212 24 10 "AP"
133 1081 RadioButton 514 212 48 10 "ドライバ"
133 -1 GroupBox 271 269 158 30 "取得要求発行"
133 -1 GroupBox 443 233 156 42 "Hook関数内取得要求発行"
133 1084 RadioButton 281 209 56 10 "Scan起動前"
133 1085 RadioButton 344 209 56 10 "Scan起動後"
133 1086 RadioButton 453 245 24 10 "ON"
133 1087 RadioButton 515 245 28 10 "OFF"
133 -1 Static 443 117 73 8 "ウェイト(CLKOUT)："
133 1089 Edit 524 115 48 14 ""
133 -1 Static 452 259 122 8 "※但し、ドライババッファ要求"
133 -1 Static 281 170 303 20 "注記：APバッファは、32MByte確保します。取得要求数が多くなると１要求あたりのバッファサイズが小さくなります。"
133 1090 PushButton 197 301 59 18 "ライン中止"
133 1091 CheckBox 275 323 96 10 "マスクOpen Delayなし"
133 1053 Edit 524 140 48 14 ""
133 -1 Static 463 143 53 8 "LineInt間隔："
135 -1 GroupBox 7 7 197 85 "Io Map Io"
135 1059 RadioButton 18 26 38 10 "ULONG"
135 1060 RadioButton 69 26 42 10 "USHORT"
135 -1 Static 17 51 19 8 "Offset"
135 1029 Edit 41 47 63 14 ""
135 -1 Static 107 51 17 8 "(Hex)"
135 -1 Static 17 73 15 8 "Data"
135 1028 Edit 41 71 63 14 ""
135 -1 Static 107 73 17 8 "(Hex)"
135 1000 PushButton 145 47 50 14 "リード"
135 1001 PushButton 145 71 50 14 "ライト"
135 1 PushButton 147 97 57 13 "終了"
136 -1 Static 7 17 23 8 "バンク："
136 -1 Static 7 33 32 8 "オフセット："
136 -1 Static 7 49 24 8 "サイズ："
136 1032 Edit 46 13 40 14 ""
136 1029 Edit 46 31 40 14 ""
136 1031 Edit 46 47 40 14 ""
136 -1 Static 89 15 17 8 "(Hex)"
136 -1 Static 89 33 17 8 "(Hex)"
136 -1 Static 89 51 17 8 "(Hex)"
136 1000 PushButton 162 15 50 14 "リード"
136 1001 PushButton 162 37 50 14 "ライト"
136 1025 PushButton 162 59 50 14 "コンペア"
136 -1 Static 7 75 86 8 "ライト／コンペア時Fillデータ："
136 1004 Edit 95 72 19 14 ""
136 -1 Static 119 75 17 8 "(Hex)"
136 -1 Static 7 99 142 8 "コンペア時はBank毎にインクリメントしてFillする。"
136 -1 Static 7 109 212 8 "例：指定値=55H  Bank0は55HでFill Bank1は56HでFill Bank2は57Hで．．"
136 1053 Edit 7 124 205 46 ""
137 1034 Edit 17 7 188 14 ""
137 1033 Edit 17 27 251 148 ""
137 1000 PushButton 164 186 50 14 "データ保存"
137 1 DefPushButton 230 186 50 14 "終了"
138 1000 PushButton 7 7 62 22 "DSPダウンロード"
138 1001 PushButton 7 41 62 22 "矩形エリアスキャン"
138 1025 PushButton 7 75 62 22 "NTSC画像表示"
138 1035 PushButton 84 7 62 22 "レジスタ"
138 1036 PushButton 84 41 62 22 "フレームメモリ"
138 1038 PushButton 84 75 62 22 "リセット"
138 1019 PushButton 7 108 62 22 "エラー情報表示"
138 1020 PushButton 84 108 62 22 "走査データセット"
138 -1 Static 7 140 140 8 "「レジスタ」と「矩形エリアスキャン」は同時実行可"
140 -1 Static 7 12 34 8 "データ表示"
140 1033 Edit 7 24 251 202 ""
140 -1 Static 7 244 59 8 "データサイズ："
140 1031 Edit 74 242 40 14 ""
140 -1 Static 120 245 25 8 "(Hex)"
140 -1 Static 7 262 66 8 "開始オフセット："
140 1057 Edit 74 260 40 14 ""
140 -1 Static 120 262 25 8 "(Hex)"
140 -1 Static 7 280 66 8 "終了オフセット："
140 1056 Edit 74 278 40 14 ""
140 -1 Static 120 280 23 8 "(Hex)"
140 1001 PushButton 148 278 50 14 "データ保存"
140 1000 PushButton 208 278 50 14 "表示"
141 1 DefPushButton 124 23 38 14 "終了"
141 -1 Static 7 7 141 8 "イベント待ちオーバーラン（2以上）："
141 1004 Edit 17 21 97 85 ""
141 -1 Static 117 75 21 8 "Index"
141 1056 Edit 117 87 45 11 ""
141 -1 Static 7 115 137 8 "取得要求未発行による未通知画像数："
141 1053 Edit 17 127 97 12 ""
141 -1 Static 7 144 145 8 "Hook関数ブロックによる未通知画像数："
141 1054 Edit 17 156 97 12 ""
142 1 DefPushButton 94 29 50 14 "閉じる"
142 1074 PushButton 94 7 50 14 "テスト開始"
142 -1 Static 13 10 27 8 "Wait時間"
142 -1 Static 7 54 137 8 "SCAN実行中（キューイングなし）の確認を行う。"
142 1088 Edit 46 7 24 14 ""
142 -1 Static 74 10 14 8 "(ms)"
)TBL";

struct ExpectedControl {
    int id;
    std::string kind;
    int x, y, cx, cy;
    std::string text;
};

std::map<int, std::vector<ExpectedControl>> expectedControls()
{
    std::map<int, std::vector<ExpectedControl>> out;
    std::istringstream in(kExpectedControls);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::istringstream fields(line);
        int tmpl = 0;
        ExpectedControl c;
        fields >> tmpl >> c.id >> c.kind >> c.x >> c.y >> c.cx >> c.cy;
        const auto open = line.find('"');
        const auto close = line.rfind('"');
        c.text = line.substr(open + 1, close - open - 1);
        out[tmpl].push_back(c);
    }
    return out;
}

struct ExpectedDialog {
    int id;
    const char *caption;
    const char *font;
    int cx, cy;
    std::vector<std::string> style;
    std::vector<std::string> exStyle;
};

const std::vector<std::string> kModal = {"Popup", "Caption", "SysMenu", "ModalFrame", "SetFont"};

const std::vector<ExpectedDialog> kExpectedDialogs = {
    {100, "Pelora2のﾊﾞｰｼﾞｮﾝ情報", "ＭＳ Ｐゴシック", 235, 64, kModal, {}},
    {102, "PeloraⅡ動作確認プログラム", "ＭＳ Ｐゴシック", 135, 97,
     {"Popup", "Visible", "Caption", "SysMenu", "MinimizeBox", "ModalFrame", "SetFont"}, {"ExAppWindow"}},
    {129, "DSPダウンロード", "ＭＳ Ｐゴシック", 187, 93, kModal, {}},
    {130, "NTSC画像表示", "ＭＳ Ｐゴシック", 383, 423, kModal, {}},
    {133, "矩形エリアスキャン", "ＭＳ ゴシック", 606, 355, {"Popup", "Visible", "Caption", "ThickFrame", "SetFont"}, {}},
    {135, "レジスタ", "ＭＳ Ｐゴシック", 211, 117, {"Popup", "Visible", "Caption", "ModalFrame", "SetFont"}, {}},
    {136, "フレームメモリ", "ＭＳ Ｐゴシック", 219, 177, kModal, {}},
    {137, "リード結果", "ＭＳ ゴシック", 287, 207, kModal, {}},
    {138, "メインメニュー（Line Int間隔ほか対応）", "ＭＳ Ｐゴシック", 155, 155, kModal, {}},
    {140, "ダンプ表示", "ＭＳ ゴシック", 265, 299, kModal, {}},
    {141, "動作情報", "ＭＳ ゴシック", 169, 175, kModal, {}},
    {142, "走査データセット試験", "ＭＳ Ｐゴシック", 151, 69, kModal, {}},
};

std::vector<std::string> names(const QJsonValue &v)
{
    std::vector<std::string> out;
    for (const QJsonValue &n : v.toArray())
        out.push_back(n.toString().toStdString());
    return out;
}

QJsonArray dump()
{
    const std::string json = res::allTemplatesToJson();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return doc.array();
}

} // namespace

TEST(TemplateLayout, DumpListsEveryDialogWithCaptionFontSizeAndFrame)
{
    const QJsonArray all = dump();
    ASSERT_EQ(all.size(), static_cast<qsizetype>(kExpectedDialogs.size()));
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QJsonObject t = all[i].toObject();
        const ExpectedDialog &e = kExpectedDialogs[static_cast<std::size_t>(i)];
        SCOPED_TRACE("template " + std::to_string(e.id));
        EXPECT_EQ(t["id"].toInt(), e.id);
        EXPECT_EQ(t["caption"].toString().toStdString(), e.caption);
        EXPECT_EQ(t["font"].toString().toStdString(), e.font);
        EXPECT_EQ(t["fontPoint"].toInt(), 9);
        EXPECT_EQ(t["width"].toInt(), e.cx);
        EXPECT_EQ(t["height"].toInt(), e.cy);
        EXPECT_EQ(names(t["style"]), e.style);
        EXPECT_EQ(names(t["exStyle"]), e.exStyle);
    }
}

TEST(TemplateLayout, EveryControlInOrderWithIdKindRectangleAndText)
{
    const auto expected = expectedControls();
    const QJsonArray all = dump();
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(all.size()));
    for (const QJsonValue &tv : all) {
        const QJsonObject t = tv.toObject();
        const int tmpl = t["id"].toInt();
        SCOPED_TRACE("template " + std::to_string(tmpl));
        ASSERT_TRUE(expected.count(tmpl));
        const auto &want = expected.at(tmpl);
        const QJsonArray controls = t["controls"].toArray();
        ASSERT_EQ(static_cast<std::size_t>(controls.size()), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            const QJsonObject c = controls[static_cast<qsizetype>(i)].toObject();
            const ExpectedControl &w = want[i];
            SCOPED_TRACE("control #" + std::to_string(i) + " id " + std::to_string(w.id));
            EXPECT_EQ(c["id"].toInt(), w.id);
            EXPECT_EQ(c["kind"].toString().toStdString(), w.kind);
            EXPECT_EQ(c["x"].toInt(), w.x);
            EXPECT_EQ(c["y"].toInt(), w.y);
            EXPECT_EQ(c["width"].toInt(), w.cx);
            EXPECT_EQ(c["height"].toInt(), w.cy);
            EXPECT_EQ(c["text"].toString().toStdString(), w.text);
        }
    }
}

TEST(TemplateLayout, StyleFlagsThatChangeBehaviour)
{
    using namespace fw::style;
    auto control = [](int tmpl, int id) -> const fw::ControlTemplate & {
        for (const fw::ControlTemplate &c : fw::findTemplate(tmpl)->controls)
            if (c.id == id)
                return c;
        ADD_FAILURE() << "no control " << id << " in " << tmpl;
        static const fw::ControlTemplate none{};
        return none;
    };
    // Board ID list: drop-down with an edit field, sorted; scan lists: drop-down lists.
    EXPECT_EQ(control(102, 1037).style & 0x3, CbsDropDown);
    EXPECT_TRUE(control(102, 1037).style & CbsSort);
    for (int id : {1045, 1046, 1047}) {
        EXPECT_EQ(control(133, id).style & 0x3, CbsDropDownList) << id;
        EXPECT_TRUE(control(133, id).style & CbsSort) << id;
    }
    // Read-only fields, and the multi-line logs and listings.
    for (auto [tmpl, id] : {std::pair{141, 1004}, {141, 1056}, {141, 1053}, {141, 1054}, {133, 1004},
                            {133, 1058}, {136, 1053}, {137, 1034}, {140, 1031}})
        EXPECT_TRUE(control(tmpl, id).style & EsReadOnly) << tmpl << "/" << id;
    for (auto [tmpl, id] : {std::pair{137, 1033}, {140, 1033}, {140, 1057}, {140, 1056}, {135, 1029},
                            {135, 1028}, {136, 1004}, {129, 1004}, {130, 1031}})
        EXPECT_FALSE(control(tmpl, id).style & EsReadOnly) << tmpl << "/" << id;
    for (auto [tmpl, id] : {std::pair{141, 1004}, {133, 1058}, {136, 1053}, {137, 1033}, {140, 1033}}) {
        EXPECT_TRUE(control(tmpl, id).style & EsMultiline) << tmpl << "/" << id;
        EXPECT_TRUE(control(tmpl, id).style & VScroll) << tmpl << "/" << id;
    }
    // Borderless fields.
    EXPECT_FALSE(control(133, 1004).style & Border);
    EXPECT_FALSE(control(137, 1034).style & Border);
    // Right-aligned numbers in the scan dialog, except the LineInt interval.
    for (int id : {1041, 1048, 1049, 1050, 1062, 1077, 1079, 1089})
        EXPECT_TRUE(control(133, id).style & EsRight) << id;
    EXPECT_FALSE(control(133, 1053).style & EsRight);
    EXPECT_TRUE(control(130, 1031).style & EsRight);
    // The version line takes "&" literally; the NTSC picture is a black frame with a border.
    EXPECT_TRUE(fw::findTemplate(100)->controls[1].style & SsNoPrefix);
    EXPECT_EQ(control(130, 1023).style & 0x1F, SsBlackFrame);
    EXPECT_TRUE(control(130, 1023).style & Border);
    // Tab stops in the scan dialog: radio buttons, the hook call count and the picture are not.
    for (const fw::ControlTemplate &c : fw::findTemplate(133)->controls) {
        const bool tabStop = c.style & TabStop;
        switch (c.kind) {
        case fw::ControlKind::PushButton:
        case fw::ControlKind::CheckBox:
        case fw::ControlKind::ComboBox:
            EXPECT_TRUE(tabStop) << c.id;
            break;
        case fw::ControlKind::Edit:
            EXPECT_EQ(tabStop, c.id != 1004) << c.id;
            break;
        default:
            EXPECT_FALSE(tabStop) << c.id;
        }
    }
}
