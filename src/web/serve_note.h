// What census serve leaves in its running note (os/running_note.h) for a
// second start in the same folder: its address, token and all, and the
// folder it serves.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace census {

// The note's name for a folder: "serve-" and 32 hex digits of the
// SHA-256 of its path, the same for every start in that folder.
std::string serveNoteName(std::string_view folder);

// "census serve\nADDRESS\nFOLDER"
std::string serveNoteText(std::string_view address, std::string_view folder);

// The address in a note's text, where it is census serve's note of folder
// and the address is one census serve gives, as
// "http://127.0.0.1:8642/?token=" and 32 hex digits; nullopt otherwise
// (a note being written, or one census did not write), so that nothing
// else is ever handed to the browser.
std::optional<std::string> servedAddress(std::string_view note_text, std::string_view folder);

}  // namespace census
