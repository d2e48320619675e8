// A note that a census process leaves for the later ones of the same user
// while it runs: census serve keeps its address there, so that starting
// "census in the browser" again opens the running server. The notes are
// kept where only that user can read them: on POSIX in census/ under
// $XDG_RUNTIME_DIR, or else under ~/.local/state, a folder of mode 0700
// and notes of mode 0600, both the user's own and never links; on Windows
// in %LOCALAPPDATA%\census, which is the user's profile.
//
// The holder keeps its note locked for as long as it runs, and the system
// drops the lock with the process: a note whose holder was killed counts
// as none, and the next one to take it holds it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace census {

class RunningNote {
 public:
  enum class Outcome {
    kHeld,           // this process holds the note now; it is empty
    kHeldByAnother,  // a running process holds it: *text is what it wrote
    kUnavailable,    // there is no private place for it: *reason says why
  };

  RunningNote() = default;
  // Empties the note and lets it go.
  ~RunningNote();
  RunningNote(const RunningNote&) = delete;
  RunningNote& operator=(const RunningNote&) = delete;

  // Takes the note named name (letters, digits and '-' only). Where
  // another process holds it, *text is what that one wrote, at most 4 KiB,
  // and empty while it has written nothing yet.
  Outcome take(const std::string& name, std::string* text, std::string* reason);

  // Writes text into the note this process holds, in place of what it
  // held. Returns false where the note is not held or cannot be written.
  bool write(std::string_view text);

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace census
