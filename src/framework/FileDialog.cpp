#include "framework/FileDialog.h"

#include "framework/Dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace fw {
namespace {

// "Text (*.a)|*.a|All (*.*)|*.*" -> "Text (*.a);;All (*.*)"
QString qtFilter(const std::string &filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|', Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        if (!name.contains('('))
            name += " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
        out << name;
    }
    return out.join(";;");
}

class QtFileDialogSink : public FileDialogSink {
public:
    std::optional<std::string> choose(const FileDialogRequest &request) override
    {
        Dialog *owner = Dialog::FromHandle(request.owner);
        QWidget *parent = owner ? owner->widget() : nullptr;
        QFileDialog dialog(parent);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (!request.filter.empty())
            dialog.setNameFilter(qtFilter(request.filter));
        if (!request.defaultExt.empty())
            dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
        const QString initial = QString::fromStdString(request.initialName);
        if (!initial.isEmpty() && !initial.contains('*'))
            dialog.selectFile(initial);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first().toStdString();
    }
};

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
