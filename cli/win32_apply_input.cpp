#include "cli/win32_apply_input.h"

#include <windows.h>

#include "common/win32_handles.h"

namespace qm::cli {

std::uint32_t CWin32ApplyInput::ReadFile(const std::string& strPath, std::size_t cbMax,
                                         std::string* pData) {
  unique_hfile file(::CreateFileA(strPath.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ::GetLastError();
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size)) return ::GetLastError();
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > cbMax) {
    return kErrorFileTooLarge;
  }
  // One byte more than the size: a file that grows meanwhile is told apart.
  std::string data(static_cast<std::size_t>(size.QuadPart) + 1, '\0');
  std::size_t cbHave = 0;
  for (;;) {
    DWORD cbRead = 0;
    if (!::ReadFile(file.get(), data.data() + cbHave, static_cast<DWORD>(data.size() - cbHave),
                    &cbRead, nullptr)) {
      return ::GetLastError();
    }
    if (cbRead == 0) break;
    cbHave += cbRead;
    if (cbHave > cbMax) return kErrorFileTooLarge;
    if (cbHave == data.size()) data.resize(data.size() * 2);
  }
  data.resize(cbHave);
  *pData = std::move(data);
  return 0;
}

bool CWin32ApplyInput::GetVariable(const std::string& strName, std::string* pValue) {
  std::string value(256, '\0');
  for (;;) {
    ::SetLastError(0);
    const DWORD cch =
        ::GetEnvironmentVariableA(strName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (cch == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      pValue->clear();  // set, and empty
      return true;
    }
    if (cch < value.size()) {
      value.resize(cch);
      *pValue = std::move(value);
      return true;
    }
    value.resize(cch);  // the size it needs, its NUL included
  }
}

}  // namespace qm::cli
