// How the real file dialog is set up for the program's requests: save-as writes over an existing
// file without asking, a wildcard initial name is the first file type shown, and Qt's own texts
// are Japanese.
#include "framework/FileDialog.h"
#include "framework/Language.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <gtest/gtest.h>

TEST(FileDialog, SaveAsAsksNothingAndKeepsTheProposedName)
{
    QFileDialog dialog;
    fw::ConfigureFileDialog(dialog, {true, 0, "Dump(Size=0004B000).dat", "*.*|*.*", ""});
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    // "*.*" is every file; the proposed name keeps its own extension.
    EXPECT_EQ(dialog.nameFilters(), QStringList{"*.* (*)"});
    ASSERT_EQ(dialog.selectedFiles().size(), 1);
    EXPECT_EQ(QFileInfo(dialog.selectedFiles().first()).fileName(), "Dump(Size=0004B000).dat");
}

TEST(FileDialog, WildcardInitialNameIsTheFirstFileType)
{
    QFileDialog dialog;
    fw::ConfigureFileDialog(dialog, {false, 0, "*.idm", "*.*|*.*", ""});
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.nameFilters(), (QStringList{"*.idm (*.idm)", "*.* (*)"}));
    EXPECT_EQ(dialog.selectedNameFilter(), "*.idm"); // shown by its name alone

    // A named file type keeps its name; its patterns follow.
    QFileDialog named;
    fw::ConfigureFileDialog(named, {false, 0, "", "DSP (*.idm)|*.idm;*.bin|すべて|*.*", ""});
    EXPECT_EQ(named.nameFilters(), (QStringList{"DSP (*.idm *.bin)", "すべて (*)"}));
    EXPECT_EQ(named.selectedNameFilter(), "DSP");
}

// Qt's own texts follow the program's language, whatever the locale it was started in.
TEST(FileDialog, QtsOwnTextsAreJapanese)
{
    ASSERT_TRUE(fw::UseJapanese());
    QFileDialog dialog;
    fw::ConfigureFileDialog(dialog, {true, 0, "a.dat", "*.*|*.*", ""});
    QStringList texts;
    for (const QAbstractButton *b : dialog.findChildren<QAbstractButton *>())
        texts << b->text();
    for (const QLabel *l : dialog.findChildren<QLabel *>())
        texts << l->text();
    EXPECT_TRUE(texts.contains("キャンセル")) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains("保存(&S)")) << texts.join('|').toStdString();
}
