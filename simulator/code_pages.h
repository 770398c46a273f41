// Text in the code pages the simulated machine knows, for the conversion
// calls and for the command interpreter model, which reads a batch file in
// the console's code page.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

constexpr std::uint32_t kCodePageUtf8 = 65001;

// One of platform::kDescribedCodePages, with its table.
bool KnownCodePage(std::uint32_t nCodePage);

// False when a character has no byte form in the code page, or the code page
// is not known. No character is ever replaced by another.
bool EncodeInCodePage(std::uint32_t nCodePage, const std::wstring& szText, std::string* pBytes);
// False when the code page is not known. Every byte of the single-byte code
// pages stands for a character.
bool DecodeInCodePage(std::uint32_t nCodePage, const std::string& szBytes, std::wstring* pText);

}  // namespace sim
