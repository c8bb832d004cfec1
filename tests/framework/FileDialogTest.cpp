// How the real file dialog is set up for the program's requests: save-as writes over an existing
// file without asking, and a wildcard initial name is the first file type shown.
#include "framework/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
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
