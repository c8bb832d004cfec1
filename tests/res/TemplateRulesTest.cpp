// Rules every template must keep, whatever its layout: the registry, unique IDs, controls inside
// the dialog and clear of one another, texts as valid UTF-8, radio groups, a JSON dump that
// survives any text, and edit borders as declared.
#include "framework/Dialog.h"
#include "res/Resources.h"
#include "res/TemplateJson.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPalette>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using fw::ControlKind;

bool hasText(ControlKind kind)
{
    return kind != ControlKind::Edit && kind != ControlKind::ComboBox && kind != ControlKind::Frame &&
           kind != ControlKind::ListBox;
}

bool validUtf8(std::string_view text)
{
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return s.toUtf8().toStdString() == text && !s.contains(QChar::ReplacementCharacter);
}

} // namespace

TEST(TemplateRules, RegistryHoldsTheTwelveDialogs)
{
    const std::set<int> want = {res::IDD_ABOUTBOX,      res::IDD_PELORA2_DIALOG, res::IDD_DSP_DOWNLOAD,
                                res::IDD_NTSC_VIEW,     res::IDD_RECT_SCAN,      res::IDD_REGISTER,
                                res::IDD_FRAME_MEMORY,  res::IDD_READ_RESULT,    res::IDD_MAIN_MENU,
                                res::IDD_DUMP_VIEW,     res::IDD_OPERATION_INFO, res::IDD_SCAN_DATA_SET};
    std::set<int> seen;
    for (const fw::DialogTemplate *t : fw::allTemplates()) {
        EXPECT_TRUE(seen.insert(t->id).second) << "template listed twice: " << t->id;
        EXPECT_EQ(fw::findTemplate(t->id), t);
    }
    EXPECT_EQ(seen, want);
    EXPECT_EQ(want, (std::set<int>{100, 102, 129, 130, 133, 135, 136, 137, 138, 140, 141, 142}));
    for (int missing : {0, -1, 101, 128, 131, 139, 143})
        EXPECT_EQ(fw::findTemplate(missing), nullptr) << missing;
}

TEST(TemplateRules, ControlsAreUniqueInsideTheDialogAndClearOfEachOther)
{
    for (const fw::DialogTemplate *t : fw::allTemplates()) {
        SCOPED_TRACE("template " + std::to_string(t->id));
        EXPECT_FALSE(t->caption.empty());
        EXPECT_TRUE(validUtf8(t->caption));
        EXPECT_TRUE(t->fontFace == "ＭＳ ゴシック" || t->fontFace == "ＭＳ Ｐゴシック") << t->fontFace;
        EXPECT_TRUE(t->style & fw::style::Popup);
        EXPECT_TRUE(t->style & fw::style::SetFont);
        ASSERT_FALSE(t->controls.empty());
        std::set<int> ids;
        for (const fw::ControlTemplate &c : t->controls) {
            SCOPED_TRACE("control " + std::to_string(c.id) + " " + std::string(c.text));
            if (c.id != res::IDC_STATIC) {
                EXPECT_TRUE(ids.insert(c.id).second) << "duplicate ID";
            }
            EXPECT_GT(c.cx, 0);
            EXPECT_GT(c.cy, 0);
            EXPECT_GE(c.x, 0);
            EXPECT_GE(c.y, 0);
            EXPECT_LE(c.x + c.cx, t->cx);
            EXPECT_LE(c.y + c.cy, t->cy);
            EXPECT_TRUE(validUtf8(c.text));
            EXPECT_EQ(hasText(c.kind), !c.text.empty());
        }
        // Controls other than frames and group boxes do not overlap (a combo box counts with its
        // closed height; its template height is the open list).
        for (std::size_t i = 0; i < t->controls.size(); ++i) {
            for (std::size_t j = i + 1; j < t->controls.size(); ++j) {
                const auto &a = t->controls[i];
                const auto &b = t->controls[j];
                auto skip = [](const fw::ControlTemplate &c) {
                    return c.kind == ControlKind::GroupBox || c.kind == ControlKind::Frame;
                };
                if (skip(a) || skip(b))
                    continue;
                const int ah = a.kind == ControlKind::ComboBox ? 12 : a.cy;
                const int bh = b.kind == ControlKind::ComboBox ? 12 : b.cy;
                const bool overlap = a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + bh && b.y < a.y + ah;
                EXPECT_FALSE(overlap) << "'" << a.text << "' (" << a.id << ") overlaps '" << b.text << "' ("
                                      << b.id << ")";
            }
        }
    }
}

TEST(TemplateRules, RadioButtonsComeInGroupsStartedByTheGroupStyle)
{
    int groups = 0;
    for (const fw::DialogTemplate *t : fw::allTemplates()) {
        SCOPED_TRACE("template " + std::to_string(t->id));
        int run = 0;
        for (const fw::ControlTemplate &c : t->controls) {
            if (c.kind != ControlKind::RadioButton) {
                EXPECT_NE(run, 1) << "a radio button alone in its group";
                run = 0;
                continue;
            }
            // A group starts at a radio button with the group style and runs to the next one
            // (two groups may follow each other directly, as in the scan dialog).
            if (c.style & fw::style::Group) {
                EXPECT_NE(run, 1) << "a radio button alone in its group before " << c.id;
                ++groups;
                run = 1;
            } else {
                EXPECT_GT(run, 0) << "radio " << c.id << " outside any group";
                ++run;
            }
        }
        EXPECT_NE(run, 1);
    }
    EXPECT_EQ(groups, 7); // five in the scan dialog, one each in the NTSC and register dialogs
}

TEST(TemplateRules, JsonDumpEscapesTextAndNamesStyles)
{
    using namespace fw::style;
    constexpr fw::ControlTemplate controls[] = {
        {7, ControlKind::Edit, "a\"b\\c\r\n\tü", 1, 2, 3, 4, Border | EsMultiline | 0x40000000},
        {8, ControlKind::ComboBox, "", 0, 0, 1, 1, CbsDropDownList | CbsSort},
        {9, ControlKind::Static, "x", 0, 0, 1, 1, SsEtchedFrame | SsSunken},
    };
    const fw::DialogTemplate t{999, "キャプション \"q\"", 10, 20, "font", 9, Popup | Caption, ExClientEdge,
                               controls};
    const std::string json = res::templateToJson(t);
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    EXPECT_EQ(o["caption"].toString(), QString::fromUtf8("キャプション \"q\""));
    EXPECT_EQ(o["style"].toArray(), (QJsonArray{"Popup", "Caption"}));
    EXPECT_EQ(o["exStyle"].toArray(), (QJsonArray{"ExClientEdge"}));
    const QJsonArray cs = o["controls"].toArray();
    ASSERT_EQ(cs.size(), 3);
    EXPECT_EQ(cs[0].toObject()["text"].toString(), QString::fromUtf8("a\"b\\c\r\n\tü"));
    EXPECT_EQ(cs[0].toObject()["style"].toArray(), (QJsonArray{"Border", "EsMultiline", "0x40000000"}));
    EXPECT_EQ(cs[1].toObject()["style"].toArray(), (QJsonArray{"CbsDropDownList", "CbsSort"}));
    EXPECT_EQ(cs[2].toObject()["style"].toArray(), (QJsonArray{"SsEtchedFrame", "SsSunken"}));
    EXPECT_EQ(cs[2].toObject()["width"].toInt(), 1);
}

// The builder draws a single-line edit's border only where its template declares one: the read
// result's title line and the scan dialog's hook call count are plain text on the dialog.
TEST(TemplateRules, SingleLineEditsShowTheBorderTheirTemplateDeclares)
{
    const QColor dialogGrey(0xC0, 0xC0, 0xC0);
    int bordered = 0;
    std::set<std::pair<int, int>> borderless;
    for (const fw::DialogTemplate *t : fw::allTemplates()) {
        fw::Dialog dlg(t->id);
        ASSERT_TRUE(dlg.Create()) << t->id;
        for (const fw::ControlTemplate &c : t->controls) {
            if (c.kind != ControlKind::Edit || (c.style & fw::style::EsMultiline))
                continue;
            QLineEdit *edit = nullptr;
            for (QLineEdit *e : dlg.widget()->findChildren<QLineEdit *>())
                if (e->property("fwControlId").toInt() == c.id)
                    edit = e;
            ASSERT_NE(edit, nullptr) << t->id << "/" << c.id;
            const bool border = c.style & fw::style::Border;
            EXPECT_EQ(edit->hasFrame(), border) << t->id << "/" << c.id;
            if (border) {
                ++bordered;
            } else {
                borderless.insert({t->id, c.id});
                EXPECT_EQ(edit->palette().color(QPalette::Base), dialogGrey)
                    << t->id << "/" << c.id;
            }
        }
        dlg.DestroyWindow();
    }
    EXPECT_EQ(borderless, (std::set<std::pair<int, int>>{{133, 1004}, {137, 1034}}));
    EXPECT_GE(bordered, 20);
}
