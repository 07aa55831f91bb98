// The page's style sheet and script and the API's description, kept as files under assets/ (where the linters read
// them) and built into the binary by CMake (Embed.cmake writes their bytes into a .cpp).
#pragma once

#include <string_view>

namespace sbf_web::assets {

extern const std::string_view kScreenCss;  // assets/screen.css
extern const std::string_view kScreenJs;   // assets/screen.js
extern const std::string_view kOpenApi;    // assets/openapi.json, the API's description

}  // namespace sbf_web::assets
