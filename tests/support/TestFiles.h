// Scratch folders and whole-file helpers for tests, written with the
// standard library only so that they do not share code with what they test.
#pragma once

#include <filesystem>
#include <string>

namespace testfiles {

// A fresh folder, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of a file in the folder, as the plug-in's string.
  std::string File(const std::string& name) const;
  // The folder with a trailing separator.
  std::string Prefix() const;
  // Names of the files in the folder.
  std::size_t Count() const;

 private:
  std::filesystem::path path_;
};

std::string Slurp(const std::string& path);
void Spit(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// Plain RFC 4648 base64 on one line: an oracle independent of the codec.
std::string ReferenceBase64(const std::string& data);

// A UTF-8 name as the system writes file names: itself where they are UTF-8;
// on Windows in the ANSI code page, "_" for each character it lacks.
std::string SystemName(const std::string& utf8);

// Sets (or, with null, removes) a variable of this process's environment.
void SetEnv(const char* name, const char* value);

// Deterministic pseudo-random bytes.
std::string RandomBytes(std::size_t n, unsigned seed);

}  // namespace testfiles
