// The open and save dialogs of "Load Track" and "Save Track as".
//
// Both wrappers take their settings as plain arguments in the shape of the classic common-dialog
// request (a filter text with "|" separators, option bits, in/out parameters) and show Qt's own
// file dialog with the behaviour those settings ask for.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <cstdint>

class QWidget;

namespace railgrace {

// The published option bits of the common-dialog request, as far as they matter here.
inline constexpr std::int32_t OFN_READONLY = 0x1;
inline constexpr std::int32_t OFN_OVERWRITEPROMPT = 0x2;
inline constexpr std::int32_t OFN_HIDEREADONLY = 0x4;
inline constexpr std::int32_t OFN_ENABLEHOOK = 0x20;
inline constexpr std::int32_t OFN_ENABLETEMPLATE = 0x40;
inline constexpr std::int32_t OFN_FILEMUSTEXIST = 0x1000;

// The file type list of both track dialogs.
inline const QString kTrackFilter = QStringLiteral("Skyvault Tracks (*.svtrack)|*.svtrack");

// Every "|" and ":" becomes a NUL, and two NULs end the list: description, pattern,
// description, pattern, ..., as the request expects.
QString ConvertFilter(const QString& filter);

// The Qt name filters ("Description (pattern ...)") of a converted filter, one per pair.
QStringList NameFiltersFromConverted(const QString& converted);

// The option bits of the open request. The caller's hook and template bits are dropped: no hook
// or template is ever supplied.
std::int32_t OpenDialogFlags(bool fileMustExist, bool readOnly, bool hideReadOnly,
                             std::int32_t flags);

// The option bits of the save request; the save dialog never shows a read-only check box.
std::int32_t SaveDialogFlags(bool overwritePrompt, std::int32_t flags);

// How Qt's dialog is set up for a request's option bits.
struct QtDialogSetup {
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::Options options;

    bool operator==(const QtDialogSetup&) const = default;
};

QtDialogSetup DialogSetupFromFlags(bool save, std::int32_t flags);

// Shows the modal open dialog. Returns true when the user confirmed a file; fileName is then
// its full path, fileTitle its name without the folder, flags the option bits and filterIndex
// the 1-based file type in use. On false fileName and fileTitle are empty and flags is 0.
// filter is converted in place (ConvertFilter). ownerWindow may be null for no owner.
bool ShowOpenFileDialog(QString& fileName, QString& fileTitle, bool fileMustExist, bool& readOnly,
                        bool hideReadOnly, QString& filter, int& filterIndex,
                        const QString& initialDir, const QString& title, const QString& defaultExt,
                        QWidget* ownerWindow, std::int32_t& flags);

// Shows the modal save dialog; results as ShowOpenFileDialog. With overwritePrompt the user
// must confirm before an existing file is chosen.
bool ShowSaveFileDialog(QString& fileName, QString& fileTitle, bool overwritePrompt,
                        QString& filter, int& filterIndex, const QString& initialDir,
                        const QString& title, const QString& defaultExt, QWidget* ownerWindow,
                        std::int32_t& flags);

}  // namespace railgrace
