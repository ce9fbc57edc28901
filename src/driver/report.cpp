#include "driver/report.h"

#include <windows.h>

#include "jpeg/jpeg_writer.h"
#include "platform/runtime/ui.h"

namespace modMain {
namespace {

bool EndsWith(const std::wstring& text, std::wstring_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::wstring PlainExplanation(const rt::Error& error) {
  if (EndsWith(error.source(), L".MAPISendMail"))
    return L"Your default mail program could not open the new mail.";
  switch (error.number()) {
    case REGDB_E_CLASSNOTREG:
      return L"There is no mail program to open the mail with: the desktop Outlook, which Orvane drives, is not "
             L"installed, and no other default mail program is set up on this computer.";
    case CO_E_SERVER_EXEC_FAILURE:
      return L"Orvane cannot reach Outlook: Outlook runs as another user or with other rights (for example as "
             L"administrator) than Orvane. Start both the same way.";
    case RPC_E_CALL_REJECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case RPC_E_DISCONNECTED:
      return L"Outlook was busy, or was closed while Orvane was handing it the mail.";
    case mIntelJPEGLibrary::kErrJpeg:
      if (error.description().rfind(L"Failed to initialise", 0) == 0)
        return L"There was not enough memory to make the picture.";
      return L"The screenshot could not be written into Orvane's folder: the folder may be read-only, full or "
             L"gone.";
    case rt::kErrOverflow:
      return L"Every screenshot name up to Screenshot32767.jpg is taken. Move old screenshots elsewhere.";
    case rt::kErrPermissionDenied:
      return L"A file could not be replaced: it is read-only or in use.";
    default:
      return L"Orvane could not finish.";
  }
}

std::wstring ReportText(const rt::Error& error, const std::wstring& saved) {
  return PlainExplanation(error) + L"\r\n\r\n" + rt::SavedScreenshotText(saved) + L"\r\n\r\n" +
         rt::RunTimeErrorText(error);
}

}  // namespace modMain
