#include "profile_files.h"

namespace nimbora {

std::string Utf16Units(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string Utf16File(const std::string& text) {
  std::u16string units;
  for (char c : text) units += static_cast<char16_t>(static_cast<unsigned char>(c));
  return "\xFF\xFE" + Utf16Units(units);
}

std::string WithCrLf(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

}  // namespace nimbora
