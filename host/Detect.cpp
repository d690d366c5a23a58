// fb2pack detect and caps: what the plug-in says of files, and of itself.
#include "Commands.h"
#include "Encoding.h"
#include "FileChecks.h"
#include "NameList.h"
#include "Output.h"

int Detect(const PluginLoader& plugin, const tTell& tell, const std::vector<std::string>& files) {
  int status = 0;
  for (const std::string& f : files) {
    if (std::string why = FileProblem(f, false); !why.empty()) {
      status = tell.Fail(f + ": " + why);
      continue;
    }
    std::string why;
    const std::string path = PluginPath(f, why);
    if (path.empty()) {
      status = tell.Fail(why);
      continue;
    }
    std::vector<char> name = CString(path);
    const bool yes = plugin.CanYouHandleThisFile(name.data()) != 0;
    WriteOut(f + ": " + (yes ? "FB2 book" : "not recognised") + "\n");
    if (!yes) status = 1;
  }
  return status;
}

int Caps(const PluginLoader& plugin) {
  const int caps = plugin.GetPackerCaps();
  static const struct {
    int bit;
    const char* name;
  } kBits[] = {{PK_CAPS_NEW, "PK_CAPS_NEW"},
               {PK_CAPS_MODIFY, "PK_CAPS_MODIFY"},
               {PK_CAPS_MULTIPLE, "PK_CAPS_MULTIPLE"},
               {PK_CAPS_DELETE, "PK_CAPS_DELETE"},
               {PK_CAPS_OPTIONS, "PK_CAPS_OPTIONS"},
               {PK_CAPS_MEMPACK, "PK_CAPS_MEMPACK"},
               {PK_CAPS_BY_CONTENT, "PK_CAPS_BY_CONTENT"},
               {PK_CAPS_SEARCHTEXT, "PK_CAPS_SEARCHTEXT"},
               {PK_CAPS_HIDE, "PK_CAPS_HIDE"}};
  std::string out = std::to_string(caps) + "\n";
  for (const auto& b : kBits) {
    if (caps & b.bit) {
      std::string bit = std::to_string(b.bit);
      out += "  " + std::string(4 - bit.size(), ' ') + bit + " " + b.name + "\n";
    }
  }
  return WriteOut(out) ? 0 : 1;
}
