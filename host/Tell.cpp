#include "Tell.h"

#include <cstdio>

#include "Encoding.h"
#include "iwcxhead.h"

int tTell::Fail(const std::string& why, int code) const {
  std::string line = "fb2pack: " + why;
  if (Verbose && code != 0) line += " (" + CodeName(code) + ")";
  WriteText(stderr, line + "\n");
  return 1;
}

void tTell::Warn(const std::string& why) const { WriteText(stderr, "fb2pack: " + why + "\n"); }

int Usage(const std::string& why) {
  WriteText(stderr, "fb2pack: " + why + "\n(see fb2pack --help)\n");
  return 2;
}

std::string CodeName(int code) {
  switch (code) {
    case E_END_ARCHIVE: return "E_END_ARCHIVE";
    case E_NO_MEMORY: return "E_NO_MEMORY";
    case E_BAD_DATA: return "E_BAD_DATA";
    case E_BAD_ARCHIVE: return "E_BAD_ARCHIVE";
    case E_UNKNOWN_FORMAT: return "E_UNKNOWN_FORMAT";
    case E_EOPEN: return "E_EOPEN";
    case E_ECREATE: return "E_ECREATE";
    case E_ECLOSE: return "E_ECLOSE";
    case E_EREAD: return "E_EREAD";
    case E_EWRITE: return "E_EWRITE";
    case E_NOT_SUPPORTED: return "E_NOT_SUPPORTED";
    default: return "result " + std::to_string(code);
  }
}
