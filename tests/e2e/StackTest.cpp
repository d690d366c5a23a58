// A 32-bit Windows host may call the exports with the stack aligned to 4
// bytes only; the vector decoders spill registers that need 16 or 32, so
// they must realign it themselves. Each base64 path of the test build is
// run on every such offset.
#include <gtest/gtest.h>

#if defined(_WIN32) && defined(__i386__)
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "Scenario.h"

namespace {

// Calls fn (stdcall) with n arguments and the stack at its entry `skew`
// bytes short of a 64-byte boundary, as no C++ caller can be made to.
extern "C" std::uintptr_t SkewedCall(const void* fn, const std::uintptr_t* args, unsigned n, unsigned skew);
asm(R"(
    .text
    .globl _SkewedCall
_SkewedCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 8(%ebp), %eax
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl 20(%ebp), %edx
    movl %esp, %edi
    andl $-64, %esp
    subl $128, %esp
    subl %edx, %esp
    leal (%esp,%ecx,4), %esp
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *%eax
    movl %edi, %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

template <class tFn>
std::uintptr_t Skewed(unsigned skew, tFn fn, std::initializer_list<std::uintptr_t> args) {
  return SkewedCall(reinterpret_cast<const void*>(fn), args.begin(), static_cast<unsigned>(args.size()), skew);
}

template <class T>
std::uintptr_t Arg(T* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

bool ProcessorHas(const std::string& path) {
  __builtin_cpu_init();
  if (path == "ssse3") return __builtin_cpu_supports("ssse3");
  if (path == "avx2") return __builtin_cpu_supports("avx2");
  if (path == "avx512vbmi") return __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
  return true;
}

}  // namespace

TEST(Stack, EveryDecoderExtractsOnAStackAlignedToFourBytesOnly) {
  ScratchDir dir;
  const std::string image = RandomBytes(150000, 41);
  std::string wrapped = testfiles::ReferenceBase64(image), line;
  for (char c : wrapped) {
    if (c != '\r' && c != '\n') line += c;
  }
  // Lines as editors wrap them, and one long line: both ways of the block decoders.
  const std::string book = dir.File("b.fb2");
  Spit(book, kHead + "<binary id=\"a\">" + wrapped + "</binary>\r\n<binary id=\"b\">" + line + "</binary>\r\n" + kTail);
  int tried = 0;
  for (std::string path : {"portable", "ssse3", "avx2", "avx512vbmi"}) {
    if (!ProcessorHas(path)) continue;
    // The test build reads its path once per load: a copy of it for each.
    const std::string copy = dir.File("stack-" + path + ".wcx");
    std::filesystem::copy_file(ProgramFolder() + FB2PACK_TEST_PLUGIN, copy);
    _putenv_s("FB2PACK_BASE64", path.c_str());
    PluginLoader plugin;
    ASSERT_TRUE(plugin.Load(copy)) << plugin.Error();
    for (unsigned skew = 0; skew < 64; skew += 4) {
      std::vector<char> name = CString(book);
      tOpenArchiveData data{};
      data.ArcName = name.data();
      data.OpenMode = PK_OM_EXTRACT;
      const auto h = Skewed(skew, plugin.OpenArchive, {Arg(&data)});
      ASSERT_NE(h, 0u) << path << " skew " << skew;
      int entries = 0;
      tHeaderData header{};
      while (Skewed(skew, plugin.ReadHeader, {h, Arg(&header)}) == 0) {
        std::vector<char> out = CString(dir.File("out"));
        EXPECT_EQ(Skewed(skew, plugin.ProcessFile, {h, PK_EXTRACT, 0, Arg(out.data())}), 0u) << path << " " << skew;
        EXPECT_TRUE(testfiles::Slurp(dir.File("out")) == image) << path << " skew " << skew << " " << header.FileName;
        ++entries;
      }
      Skewed(skew, plugin.CloseArchive, {h});
      EXPECT_EQ(entries, 2) << path << " skew " << skew;
    }
    ++tried;
  }
  _putenv_s("FB2PACK_BASE64", "");
  EXPECT_GE(tried, 2) << "the portable path and at least one block decoder";
}
#endif
