#pragma once
// The manual the desktop program shows on F1 ("&Help"): the sections of the
// README written for its users, as Markdown.
#include <string>
#include <string_view>

namespace tmv {

// The "The desktop program" and "Serial ports" sections of `readme`, under a
// title of their own; an empty text when it has neither.
std::string UserManual(std::string_view readme);

// What the empty graph says the next steps are (retrieve the logger's data,
// set up a deployment, open a file), with the way to connect when no logger is.
std::string FirstStepsText(bool connected);

}  // namespace tmv
