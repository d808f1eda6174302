#include "ui/mFileDialog.h"

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

// The request and the results of one dialog, as both wrappers share them.
struct DialogCall {
    bool save = false;
    QString fileName;
    QString filter;  // converted
    int filterIndex = 1;
    QString initialDir;
    QString title;
    QString defaultExt;
    QWidget* ownerWindow = nullptr;
    std::int32_t flags = 0;
};

void SetUp(QFileDialog& dialog, const DialogCall& call, const QStringList& nameFilters) {
    const QtDialogSetup setup = DialogSetupFromFlags(call.save, call.flags);
    dialog.setWindowTitle(call.title);
    dialog.setOptions(setup.options);
    dialog.setAcceptMode(setup.acceptMode);
    dialog.setFileMode(setup.fileMode);
    dialog.setNameFilters(nameFilters);
    if (call.filterIndex >= 1 && call.filterIndex <= nameFilters.size())
        dialog.selectNameFilter(nameFilters.at(call.filterIndex - 1));
    dialog.setDefaultSuffix(call.defaultExt);
    if (!call.initialDir.isEmpty()) dialog.setDirectory(call.initialDir);
    // A bare name stays in the starting folder; a full path also picks the folder.
    dialog.selectFile(call.fileName);
}

// Shows the dialog; on confirmation fills fileName, fileTitle and filterIndex and returns true.
bool Run(DialogCall& call, QString& fileTitle) {
    const QStringList nameFilters = NameFiltersFromConverted(call.filter);
    QFileDialog dialog(call.ownerWindow);
    SetUp(dialog, call, nameFilters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        call.fileName.clear();
        fileTitle.clear();
        call.flags = 0;
        return false;
    }
    call.fileName = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    fileTitle = QFileInfo(call.fileName).fileName();
    call.filterIndex = static_cast<int>(nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

}  // namespace

QString ConvertFilter(const QString& filter) {
    QString converted = filter;
    converted.replace(u'|', kNul).replace(u':', kNul);
    converted.append(kNul).append(kNul);
    return converted;
}

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

std::int32_t OpenDialogFlags(bool fileMustExist, bool readOnly, bool hideReadOnly,
                             std::int32_t flags) {
    std::int32_t bits = flags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
    if (fileMustExist) bits |= OFN_FILEMUSTEXIST;
    if (readOnly) bits |= OFN_READONLY;
    if (hideReadOnly) bits |= OFN_HIDEREADONLY;
    return bits;
}

std::int32_t SaveDialogFlags(bool overwritePrompt, std::int32_t flags) {
    std::int32_t bits = (flags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE)) | OFN_HIDEREADONLY;
    if (overwritePrompt) bits |= OFN_OVERWRITEPROMPT;
    return bits;
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

bool ShowOpenFileDialog(QString& fileName, QString& fileTitle, bool fileMustExist, bool& readOnly,
                        bool hideReadOnly, QString& filter, int& filterIndex,
                        const QString& initialDir, const QString& title, const QString& defaultExt,
                        QWidget* ownerWindow, std::int32_t& flags) {
    filter = ConvertFilter(filter);
    DialogCall call{.save = false,
                    .fileName = fileName,
                    .filter = filter,
                    .filterIndex = filterIndex,
                    .initialDir = initialDir,
                    .title = title,
                    .defaultExt = defaultExt,
                    .ownerWindow = ownerWindow,
                    .flags = OpenDialogFlags(fileMustExist, readOnly, hideReadOnly, flags)};
    const bool confirmed = Run(call, fileTitle);
    fileName = call.fileName;
    flags = call.flags;
    if (!confirmed) return false;
    filterIndex = call.filterIndex;
    if ((call.flags & OFN_READONLY) != 0) readOnly = true;
    return true;
}

bool ShowSaveFileDialog(QString& fileName, QString& fileTitle, bool overwritePrompt,
                        QString& filter, int& filterIndex, const QString& initialDir,
                        const QString& title, const QString& defaultExt, QWidget* ownerWindow,
                        std::int32_t& flags) {
    filter = ConvertFilter(filter);
    DialogCall call{.save = true,
                    .fileName = fileName,
                    .filter = filter,
                    .filterIndex = filterIndex,
                    .initialDir = initialDir,
                    .title = title,
                    .defaultExt = defaultExt,
                    .ownerWindow = ownerWindow,
                    .flags = SaveDialogFlags(overwritePrompt, flags)};
    const bool confirmed = Run(call, fileTitle);
    fileName = call.fileName;
    flags = call.flags;
    if (confirmed) filterIndex = call.filterIndex;
    return confirmed;
}

}  // namespace railgrace
