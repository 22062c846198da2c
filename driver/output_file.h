// A file written whole or not at all.
//
// The text goes into a new temporary file of the target's folder, named
// "<target>.XXXXXX" and created exclusively (it is never a file that existed
// before), which is renamed over the target once complete. The temporary is
// removed when writing fails, when the OutputFile is destroyed before its
// commit, and when SIGINT, SIGTERM, SIGHUP or SIGQUIT ends the process while
// it exists (the handler unlinks it, then the signal takes its default
// course). One OutputFile at a time.
//
// Ownership: an OutputFile owns its temporary file until commit() renames it.
#ifndef VORL_DRIVER_OUTPUT_FILE_H
#define VORL_DRIVER_OUTPUT_FILE_H

#include <string>

class OutputFile {
 public:
  /// Creates the temporary file for target; error() tells whether it failed.
  explicit OutputFile(const std::string& target);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  /// Removes the temporary unless it was committed.
  ~OutputFile();

  /// Writes the whole text into the temporary file and renames it over the
  /// target. False, with error() set and the temporary removed, on failure.
  bool commit(const std::string& text);

  /// The temporary file's name (empty when it could not be created).
  const std::string& temporary() const { return temporary_; }
  /// The reason of the last failure, empty when none.
  const std::string& error() const { return error_; }

 private:
  void discard();

  std::string target_;
  std::string temporary_;
  std::string error_;
  int fd_ = -1;
};

/// Writes text to path through an OutputFile; the failure's message, or "".
std::string write_file_whole(const std::string& path, const std::string& text);

#endif
