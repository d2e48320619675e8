// The site `census serve` offers: pages that show the five data files and
// forms that enter and correct them, in the same files and formats as the
// dialogue. Every request first passes the access rules (web/access.h);
// every answer carries the security headers. A GET never changes a file.
// A save goes through the one writer, all or nothing, and only while the
// file is still the version its form was filled from: otherwise nothing is
// saved and the answer is 409, with what was typed beside what the file
// now holds.
#pragma once

#include <utility>

#include "records/history.h"
#include "save/file_system.h"
#include "web/access.h"
#include "web/http_message.h"
#include "web/pages.h"

namespace census {

// A site answers one request at a time.
class Site {
 public:
  // files must outlive the site, and so must restoring where it is given:
  // the same files as a recorder of the saves a restore makes.
  Site(FileSystem& files, AccessKeys keys, RecordingFileSystem* restoring = nullptr)
      : pages_{files, {}, restoring}, keys_(std::move(keys)) {}

  // The answer to a request whose body has been read whole. HEAD is
  // answered as GET; the carrier leaves out the body.
  HttpAnswer answer(const HttpRequest& request);

  const AccessKeys& keys() const { return keys_; }
  // For a server that learns its port only once it listens.
  void setKeys(AccessKeys keys) { keys_ = std::move(keys); }

  // What every page is given: the files, and what the pages keep between
  // requests.
  struct Pages {
    FileSystem& files;
    PageMemory memory;
    RecordingFileSystem* restoring;
  };

 private:
  Pages pages_;
  AccessKeys keys_;
};

}  // namespace census
