// The host's text is UTF-8 (as typed, as shown); the plug-in's names and
// paths are in the system's ANSI code page on Windows. These are the only
// crossings between the two, and the only writes of text to the user. On
// other systems names are bytes, passed and shown as they are.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// A path as the plug-in can open it: on Windows made full, in the ANSI code
// page, each part the code page cannot spell replaced by its short (8.3)
// name. Empty, with why set (naming the path as given), when a part can be
// neither spelt nor shortened, or its short name leads to another file.
std::string PluginPath(const std::string& path, std::string& why);

// A book named on the command line: as it is told (its path, or
// ARCHIVE/MEMBER for a zipped one), the file the host reads (its path, or the
// member's copy), and that file as the plug-in opens it, converted once.
struct tBookPath {
  explicit tBookPath(const std::string& given) : tBookPath(given, given) {}
  tBookPath(const std::string& shown, const std::string& file)
      : Given(shown), File(file), ForPlugin(PluginPath(file, Why)) {}
  std::string Given;
  std::string File;
  std::string Why;        // why it cannot be given to the plug-in
  std::string ForPlugin;  // empty then
};

// Bytes the plug-in gave (a name) in UTF-8; exact is set false when some
// byte means no character in the code page (it is shown as U+FFFD).
std::string FromPlugin(const std::string& bytes, bool& exact);
std::string FromPlugin(const std::string& bytes);
// A zip member's name as the host's text: UTF-8 when the archive flags it so
// or it reads as UTF-8; else, on Windows, in the OEM code page that Windows
// archivers write such names in (866 on Russian systems). Elsewhere bytes
// are names as they are.
std::string FromZipName(const std::string& bytes, bool flaggedUtf8);
// True when the plug-in's names can hold every character (on Windows: the
// ANSI code page is UTF-8).
bool CodePageSpellsAll();
// A name typed by the user as the plug-in spells it; false when the code
// page cannot spell it.
bool ToPlugin(const std::string& name, std::string& out);

// The path for the host's own file calls.
std::filesystem::path HostPath(const std::string& path);
// A path from the file system, as the host's text.
std::string FromHostPath(const std::filesystem::path& path);

// Writes UTF-8 text to stdout or stderr: on Windows in UTF-16 when the
// stream is a console (it then shows every character), as UTF-8 bytes when
// it is redirected. False when it could not be written whole.
bool WriteText(std::FILE* stream, const std::string& text);
