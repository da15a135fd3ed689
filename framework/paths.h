// Path operations on code page 932 paths in Windows form ("C:\dir\name").
// All of them are double-byte aware: only single-byte "\" and ":" separate.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fw {

// The text after the last "\" or ":", or the whole text when it has neither.
std::string ExtractFileName(std::string_view path);

// The text before the last "\" or ":".  The final backslash is dropped unless
// it is the first character or directly follows a ":" or another "\" (so a
// drive root such as "C:\" keeps it).  Empty when there is no separator.
std::string ExtractFileDir(std::string_view path);

// Path of `destName` relative to the folder of `baseName` (the file name of
// the base takes no part).  When the two lie on different drives, or when the
// result could not be made sure to name the same file as `destName`, the
// destination is returned unchanged.  Empty names (doubled backslashes), "."
// and ".." are resolved the way Windows resolves them.  Drives and folder
// names match as Windows matches file names (SameFileName: letters without
// regard to case), and the result keeps the destination's own spelling.  A
// result that names a folder ends with "\"; the base's own folder is ".\",
// never an empty text.
std::string ExtractRelativePath(std::string_view baseName, std::string_view destName);

// A base for ExtractRelativePath prepared once, for the many lines of one
// playlist that are all made relative to the same output file.
class TRelativePathBase {
public:
    explicit TRelativePathBase(std::string_view baseName);
    // The same as ExtractRelativePath(baseName, destName).
    std::string RelativePath(std::string_view destName) const;
    // Appends the relative form of `destName` to `out` and returns true; or
    // returns false, leaving `out` as it was, when ExtractRelativePath would
    // give the destination unchanged.  A relative form never equals its
    // destination, so true means the line changes.
    bool AppendRelativePath(std::string_view destName, std::string& out) const;

private:
    // AppendRelativePath for a rooted destination (`rest`, after its drive)
    // whose names need normalising.
    bool AppendNormalised(std::string_view rest, std::string& out) const;

    std::string drive_;                // empty: no relative form can be made sure
    std::vector<std::string> folders_;  // normalised folder names of the base
    // AppendNormalised's list of the destination's folders, kept from call to
    // call so that such a line costs no allocation; so one base serves one
    // thread at a time.
    mutable std::vector<std::string_view> destFolders_;
};

}  // namespace fw
