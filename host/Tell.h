// How the host tells the user: "fb2pack: ..." on standard error, with the
// plug-in's result-code names only when asked to be verbose.
#pragma once

#include <string>

// How messages are told: result-code names (E_EREAD) only when verbose.
struct tTell {
  bool Verbose = false;
  // "fb2pack: why" on standard error; gives 1, the failure exit status.
  int Fail(const std::string& why, int code = 0) const;
  // "fb2pack: why" on standard error, nothing more.
  void Warn(const std::string& why) const;
};

// "fb2pack: why" and a pointer to help on standard error; gives 2.
int Usage(const std::string& why);

// The name of a result code, as the host interface names it.
std::string CodeName(int code);
