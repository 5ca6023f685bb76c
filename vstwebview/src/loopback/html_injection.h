#pragma once
#include <string>
#include <string_view>

namespace vstwebview::loopback {

// html with tags placed where they run before any script of the page, but after
// what the head declares first (character set, security policy): before the first
// <script>, else before </head>, else right after <head>, else at the very start.
// Tag names are matched without regard to case.
std::string insertBeforePageScripts(std::string_view html, std::string_view tags);

}  // namespace vstwebview::loopback
