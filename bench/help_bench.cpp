// The whole help page from the embedded archive (folder, archive written and
// unpacked, decoding, conversion, page written, folder removed) beside
// cmark-gfm converting the same manual alone: what the renderer adds around
// the conversion. The ratio is printed at the end; the target is 1.2 or less.
#include <benchmark/benchmark.h>
#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "help/HelpArchive.h"
#include "help/uMarkdownRenderer.h"
#include "platform/Resources.h"
#include "platform/Text.h"

namespace {

std::string ManualText() {
  for (const help::TArchiveEntry& Entry : help::ReadArchive(*resources::FindData(u"HELP"), {1u << 24, 16}))
    if (Entry.Name == u"help.md") return Entry.Bytes;
  std::abort();
}

void ConvertAlone(const std::string& Markdown) {
  cmark_parser* Parser = cmark_parser_new(CMARK_OPT_DEFAULT);
  cmark_parser_attach_syntax_extension(Parser, cmark_find_syntax_extension("table"));
  cmark_parser_attach_syntax_extension(Parser, cmark_find_syntax_extension("autolink"));
  cmark_parser_feed(Parser, Markdown.data(), Markdown.size());
  cmark_node* Document = cmark_parser_finish(Parser);
  char* Html = cmark_render_html(Document, CMARK_OPT_DEFAULT, cmark_parser_get_syntax_extensions(Parser));
  benchmark::DoNotOptimize(Html);
  cmark_get_default_mem_allocator()->free(Html);
  cmark_node_free(Document);
  cmark_parser_free(Parser);
}

void UnpackArchive(const std::string&) {
  benchmark::DoNotOptimize(help::ReadArchive(*resources::FindData(u"HELP"), {1u << 24, 16}));
}

void RenderPage() {
  TMarkdownRenderer Renderer(u"help");
  benchmark::DoNotOptimize(Renderer.RenderPage());
}

double SecondsPerCall(void (*Call)(const std::string&), const std::string& Text, int Rounds) {
  const auto Start = std::chrono::steady_clock::now();
  for (int I = 0; I < Rounds; ++I) Call(Text);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count() / Rounds;
}

void BM_HelpPageFromArchive(benchmark::State& State) {
  for (auto _ : State) RenderPage();
}
BENCHMARK(BM_HelpPageFromArchive);

void BM_CmarkConversionAlone(benchmark::State& State) {
  cmark_gfm_core_extensions_ensure_registered();
  const std::string Markdown = ManualText();
  for (auto _ : State) ConvertAlone(Markdown);
}
BENCHMARK(BM_CmarkConversionAlone);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  cmark_gfm_core_extensions_ensure_registered();
  const std::string Markdown = ManualText();
  constexpr int kRounds = 300;
  const double Page = SecondsPerCall([](const std::string&) { RenderPage(); }, Markdown, kRounds);
  const double Alone = SecondsPerCall(ConvertAlone, Markdown, kRounds);
  const double Unpacking = SecondsPerCall(UnpackArchive, Markdown, kRounds);
  std::printf("help page from the archive: %.1f us; cmark-gfm alone: %.1f us; ratio %.2f (target <= 1.2)\n", Page * 1e6,
              Alone * 1e6, Page / Alone);
  // Where the rest goes: the archive unpacked in memory; the remainder is the
  // folder, the five files written into it and their removal.
  std::printf("of the page: unpacking the archive in memory %.1f us, the folder and its files %.1f us\n",
              Unpacking * 1e6, (Page - Alone - Unpacking) * 1e6);
  return 0;
}
