// The program's name, version and home page, wherever they are shown or written.
#pragma once

namespace tavo {

inline constexpr char kProductName[] = "Tavo";
inline constexpr char kVersion[] = "2.422";
inline constexpr char kHomePageUrl[] = "https://tavo-diary.example.org/";

}  // namespace tavo
