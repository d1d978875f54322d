#pragma once

#include <string>

namespace translator::ui {

enum class PathKind { kMissing, kFolder, kFile };

PathKind KindOf(const std::string& path);
// Blanks removed at both ends.
std::string Trim(const std::string& text);
// Trimmed, and one trailing "/" or "\" removed, as a source path is taken.
std::string SourcePath(const std::string& text);
bool SameText(const std::string& a, const std::string& b);
// An existing folder stays; otherwise the path is cut before its last
// separator, unless that separator is its first character.
std::string ReduceToFolder(const std::string& path);
// Position where the file name of path begins (after its last separator).
size_t NameStart(const std::string& path);
// Gives the file name of path the conversion suffix of format: a known
// conversion suffix is exchanged, else the extension is, else it is appended.
// Folders along the path are never touched.
std::string ReplaceSuffix(const std::string& path, int format);
// Parses a leading decimal (after blanks); false when the text does not start with one.
bool ParseInt64(const std::string& text, int64_t* value);

}  // namespace translator::ui
