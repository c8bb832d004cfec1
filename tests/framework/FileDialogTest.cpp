// How the real file dialog is set up for the program's requests: save-as writes over an existing
// file without asking, a wildcard initial name is the first file type shown, and Qt's own texts
// are Japanese.
#include "framework/FileDialog.h"
#include "framework/Language.h"

#include <QAbstractButton>
#include <QAbstractProxyModel>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QTemporaryDir>
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

// The listing's size, type and date columns are Japanese whatever the system locale.
TEST(FileDialog, ListingColumnsAreJapanese)
{
    const struct {
        long long bytes;
        const char *text;
    } sizes[] = {{0, "0 バイト"},         {1023, "1023 バイト"},      {1536, "1.5 KB"},
                 {10 * 1024, "10 KB"},    {23 << 20, "23 MB"},       {3LL << 30, "3.0 GB"}};
    for (const auto &s : sizes)
        EXPECT_EQ(fw::FileSizeText(s.bytes).toStdString(), s.text) << s.bytes;

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    QFile file(dir.filePath("a.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1536, 'x'));
    file.flush(); // a later write would set the time again
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
    file.close();

    QFileDialog dialog;
    fw::ConfigureFileDialog(dialog, {false, 0, "", "*.*|*.*", ""});
    dialog.setDirectory(dir.path());
    QAbstractProxyModel *proxy = dialog.proxyModel();
    ASSERT_NE(proxy, nullptr);
    auto *files = qobject_cast<QFileSystemModel *>(proxy->sourceModel());
    ASSERT_NE(files, nullptr);
    auto shown = [&](const QString &path, int column) {
        return proxy->mapFromSource(files->index(path, column)).data().toString().toStdString();
    };
    EXPECT_EQ(shown(file.fileName(), 1), "1.5 KB");
    EXPECT_EQ(shown(file.fileName(), 2), "DAT ファイル");
    EXPECT_EQ(shown(file.fileName(), 3), "2021/03/04 05:06");
    EXPECT_EQ(shown(dir.filePath("sub"), 2), "フォルダー");
    EXPECT_EQ(shown(dir.filePath("sub"), 1), "");
    EXPECT_EQ(proxy->headerData(3, Qt::Horizontal).toString().toStdString(), "更新日時");
}
