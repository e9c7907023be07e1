#pragma once

namespace qor {

inline constexpr int ToolRevision = 241;
inline constexpr int ProductVersion = 4203;
// Every installation lookup asks for this generation of the suite.
inline constexpr const wchar_t* ProductGeneration = L"2014";

}  // namespace qor
