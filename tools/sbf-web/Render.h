// The screen as an HTML page and as JSON, and the pages of a failed request. Every text
// is escaped for where it goes; every link is built from the screen's parameters, so it
// restores the screen (and applies its change) on any server holding the same data.
#pragma once

#include <cstdint>
#include <string>

#include "Screen.h"

namespace sbf_web {

std::string RenderHtml(const Screen& screen);
std::string RenderJson(const Screen& screen);

std::string RenderHtmlError(const RequestError& error);
std::string RenderJsonError(const RequestError& error);

std::string RenderHtmlNotFound(const std::string& path);
std::string RenderJsonNotFound(const std::string& path);

// A request the server refuses before reading it (Gate.h): an address too long (414),
// headers too large (431), a head not complete in time (408); the page in `language`.
std::string RenderHtmlRefused(int status, int32_t language);
std::string RenderJsonRefused(int status);

}  // namespace sbf_web
