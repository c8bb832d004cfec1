#include "framework/FileDialog.h"

#include "framework/Dialog.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>
#include <QIdentityProxyModel>
#include <QRegularExpression>
#include <QStringList>

namespace fw {
namespace {

// A file type's patterns as Qt reads them. "*.*" names every file, with or without a dot in
// its name, as it does in the filters the program was written with; Qt's "*.*" would hide
// files without an extension, and a save dialog would put ".*" in place of a proposed name's
// extension.
QString qtPatterns(const QString &patterns)
{
    QStringList out;
    for (const QString &pattern : patterns.split(';', Qt::SkipEmptyParts)) {
        const QString p = pattern.trimmed();
        out << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    }
    return out.join(' ');
}

// One file type: its shown name, then its patterns in parentheses, where Qt looks for them.
QString qtFilterEntry(QString name, const QString &patterns)
{
    static const QRegularExpression details(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    name.remove(details);
    name = name.trimmed();
    if (name.isEmpty())
        name = patterns;
    return name + " (" + qtPatterns(patterns) + ")";
}

// "Text (*.a)|*.a|All (*.*)|*.*" -> {"Text (*.a)", "All (*)"}
QStringList qtFilters(const std::string &filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|', Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << qtFilterEntry(parts[i], parts[i + 1]);
    return out;
}

// The listing's size, type and date columns in Japanese, as the rest of the program writes
// them: Qt formats them from the system locale, which may be English.
class JapaneseColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        auto *files = qobject_cast<QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() < 1 || index.column() > 3)
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        switch (index.column()) {
        case 1: return info.isDir() ? QString() : FileSizeText(info.size());
        case 2:
            if (info.isDir())
                return QStringLiteral("フォルダー");
            return info.suffix().isEmpty() ? QStringLiteral("ファイル")
                                           : QStringLiteral("%1 ファイル").arg(info.suffix().toUpper());
        default: return info.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const names[] = {"名前", "サイズ", "種類", "更新日時"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
            return QString::fromUtf8(names[section]);
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
};

bool isWildcard(const QString &name)
{
    return name.contains('*') || name.contains('?');
}

class QtFileDialogSink : public FileDialogSink {
public:
    std::optional<std::string> choose(const FileDialogRequest &request) override
    {
        Dialog *owner = Dialog::FromHandle(request.owner);
        QFileDialog dialog(owner ? owner->widget() : nullptr);
        ConfigureFileDialog(dialog, request);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first().toStdString();
    }
};

} // namespace

void ConfigureFileDialog(QFileDialog &dialog, const FileDialogRequest &request)
{
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Saving writes over an existing file without a question; the program asks none.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, request.save);
    // File types are shown by their names alone ("*.*"), not with the patterns Qt uses.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!dialog.proxyModel()) {
        dialog.setProxyModel(new JapaneseColumns(&dialog));
        // Columns wide enough for the texts above; the name takes the rest.
        if (auto *view = dialog.findChild<QTreeView *>()) {
            const QFontMetrics metrics(view->font());
            QHeaderView *header = view->header();
            header->setStretchLastSection(false);
            header->setSectionResizeMode(0, QHeaderView::Stretch);
            const char *widest[] = {"1023 バイト", "XXXX ファイル", "0000/00/00 00:00"};
            for (int column = 1; column <= 3; ++column)
                header->resizeSection(column, metrics.horizontalAdvance(QString::fromUtf8(widest[column - 1])) + 20);
        }
    }

    QStringList filters = qtFilters(request.filter);
    const QString initial = QString::fromStdString(request.initialName);
    if (isWildcard(initial))
        filters.prepend(qtFilterEntry(initial, initial));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    if (!request.defaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    // After the file types: choosing a type in a save dialog rewrites the proposed name.
    if (!initial.isEmpty() && !isWildcard(initial))
        dialog.selectFile(initial);
}

QString FileSizeText(long long bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 バイト").arg(bytes);
    const char *units[] = {"KB", "MB", "GB", "TB"};
    double v = double(bytes) / 1024;
    int unit = 0;
    while (v >= 1024 && unit < 3)
        v /= 1024, ++unit;
    return QStringLiteral("%1 %2").arg(v, 0, 'f', v < 10 ? 1 : 0).arg(QLatin1String(units[unit]));
}

namespace {

std::shared_ptr<FileDialogSink> &sinkSlot() // UI thread only
{
    static std::shared_ptr<FileDialogSink> sink = std::make_shared<QtFileDialogSink>();
    return sink;
}

} // namespace

std::shared_ptr<FileDialogSink> setFileDialogSink(std::shared_ptr<FileDialogSink> sink)
{
    if (!sink)
        sink = std::make_shared<QtFileDialogSink>();
    std::swap(sinkSlot(), sink);
    return sink;
}

std::optional<std::string> ChooseFile(const FileDialogRequest &request)
{
    std::shared_ptr<FileDialogSink> sink = sinkSlot();
    return sink->choose(request);
}

} // namespace fw
