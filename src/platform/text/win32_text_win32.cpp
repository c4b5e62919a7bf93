#include <windows.h>

#include "platform/text/win32_text.h"

namespace platform {

std::wstring ToWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string FromWide(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return utf8;
}

namespace {

std::string FormatSystemMessage(unsigned long code, DWORD languageId) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, languageId, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string message = n > 0 ? FromWide(std::wstring(text, n)) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

std::string SystemErrorText(unsigned long code) {
  return FormatSystemMessage(code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
}

std::string UserLanguageErrorText(unsigned long code) {
  return FormatSystemMessage(code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT));
}

}  // namespace platform
