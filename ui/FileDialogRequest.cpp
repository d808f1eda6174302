#include "ui/FileDialogRequest.h"

#include <algorithm>

namespace railgrace {
namespace {

constexpr std::int32_t kUnsupported = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;

}  // namespace

std::string ConvertFilter(std::string_view filter) {
    std::string converted(filter);
    std::replace_if(
        converted.begin(), converted.end(), [](char c) { return c == '|' || c == ':'; }, '\0');
    converted.append(2, '\0');
    return converted;
}

std::int32_t OpenDialogFlags(bool fileMustExist, bool readOnly, bool hideReadOnly,
                             std::int32_t flags) {
    std::int32_t bits = flags & ~kUnsupported;
    if (fileMustExist) bits |= OFN_FILEMUSTEXIST;
    if (readOnly) bits |= OFN_READONLY;
    if (hideReadOnly) bits |= OFN_HIDEREADONLY;
    return bits;
}

std::int32_t SaveDialogFlags(bool overwritePrompt, std::int32_t flags) {
    std::int32_t bits = (flags & ~kUnsupported) | OFN_HIDEREADONLY;
    if (overwritePrompt) bits |= OFN_OVERWRITEPROMPT;
    return bits;
}

std::int32_t DialogFlags(const FileDialogRequest& request) {
    return request.save ? SaveDialogFlags(request.overwritePrompt, request.flags)
                        : OpenDialogFlags(request.fileMustExist, request.readOnly,
                                          request.hideReadOnly, request.flags);
}

bool FinishRequest(FileDialogRequest& request, bool confirmed) {
    if (!confirmed) {
        request.fileName.clear();
        request.fileTitle.clear();
        request.flags = 0;
        return false;
    }
    if (!request.save && (request.flags & OFN_READONLY) != 0) request.readOnly = true;
    return true;
}

}  // namespace railgrace
