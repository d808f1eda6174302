#include "ui/qt/mFileDialog.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace railgrace {
namespace {

constexpr QChar kNul{u'\0'};

// The Qt name filter for one description and its patterns. Qt takes the patterns from the last
// parenthesised group, so they are appended unless the description already ends with them.
QString NameFilter(const QString& description, const QString& pattern) {
    QString patterns = pattern;
    patterns.replace(u';', u' ');
    const QString group = u'(' + patterns + u')';
    if (description.endsWith(group)) return description;
    if (description.isEmpty()) return group;
    return description + u' ' + group;
}

QString ToQString(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

void SetUp(QFileDialog& dialog, const FileDialogRequest& request, const QStringList& nameFilters) {
    const QtDialogSetup setup = DialogSetupFromFlags(request.save, request.flags);
    dialog.setWindowTitle(ToQString(request.title));
    dialog.setOptions(setup.options);
    dialog.setAcceptMode(setup.acceptMode);
    dialog.setFileMode(setup.fileMode);
    dialog.setNameFilters(nameFilters);
    if (request.filterIndex >= 1 && request.filterIndex <= nameFilters.size())
        dialog.selectNameFilter(nameFilters.at(request.filterIndex - 1));
    dialog.setDefaultSuffix(ToQString(request.defaultExt));
    if (!request.initialDir.empty()) dialog.setDirectory(QtPath(request.initialDir));
    // A bare name stays in the starting folder; a full path also picks the folder.
    dialog.selectFile(QtPath(request.fileName));
}

bool Show(FileDialogRequest& request, QWidget* ownerWindow) {
    request.filter = ConvertFilter(request.filter);
    request.flags = DialogFlags(request);
    const QStringList nameFilters = NameFiltersFromConverted(ToQString(request.filter));
    QFileDialog dialog(ownerWindow);
    SetUp(dialog, request, nameFilters);
    const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (confirmed) {
        const QFileInfo chosen(dialog.selectedFiles().constFirst());
        request.fileName = NativePath(chosen.absoluteFilePath());
        request.fileTitle = NativePath(chosen.fileName());
        request.filterIndex =
            static_cast<std::int32_t>(nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    }
    return FinishRequest(request, confirmed);
}

}  // namespace

QStringList NameFiltersFromConverted(const QString& converted) {
    const QStringList parts = converted.split(kNul);
    QStringList nameFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // An empty description ends the list.
        if (parts.at(i).isEmpty()) break;
        nameFilters.append(NameFilter(parts.at(i), parts.at(i + 1)));
    }
    return nameFilters;
}

QtDialogSetup DialogSetupFromFlags(bool save, std::int32_t flags) {
    QtDialogSetup setup;
    // Qt's own dialog on every desktop, so that caption, file type, must-exist and overwrite
    // rules and the default extension hold whatever chooser the desktop would offer. It has no
    // read-only check box, so OFN_HIDEREADONLY needs nothing and OFN_READONLY comes back as given.
    setup.options = QFileDialog::DontUseNativeDialog;
    if (save) {
        setup.acceptMode = QFileDialog::AcceptSave;
        setup.fileMode = QFileDialog::AnyFile;
        if ((flags & OFN_OVERWRITEPROMPT) == 0) setup.options |= QFileDialog::DontConfirmOverwrite;
    } else {
        setup.acceptMode = QFileDialog::AcceptOpen;
        setup.fileMode =
            (flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile : QFileDialog::AnyFile;
    }
    return setup;
}

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString QtPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool ShowOpenFileDialog(FileDialogRequest& request, QWidget* ownerWindow) {
    request.save = false;
    return Show(request, ownerWindow);
}

bool ShowSaveFileDialog(FileDialogRequest& request, QWidget* ownerWindow) {
    request.save = true;
    return Show(request, ownerWindow);
}

}  // namespace railgrace
