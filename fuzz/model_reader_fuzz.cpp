// The model file's readers (both kinds) on arbitrary bytes. Each refuses them (Error of kind
// kBadModelFile, never a crash, a hang or a read past them) or gives a model
// that the writer takes without complaint, which reads back to the same
// text: the reader accepts nothing the writer cannot hold, and a model goes
// round through the file unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_input.h"
#include "fuzzyart/error.h"
#include "results/model_reader.h"
#include "results/model_writer.h"

using namespace fuzzyart;

namespace {

template <typename Write>
std::string writtenWith(const Write& write) {
  char* text = nullptr;
  size_t size = 0;
  OutputFile file;
  file.adopt(open_memstream(&text, &size));
  write(file);
  CHECK(file.close());
  std::string out(text, size);
  std::free(text);
  return out;
}

std::string written(const Model& model) {
  return writtenWith([&](OutputFile& file) { writeModel(file, "fuzz", model.scaling, model.network, model.counts); });
}

std::string written(const SupervisedModel& model) {
  return writtenWith([&](OutputFile& file) { writeSupervisedModel(file, "fuzz", model); });
}

// One reader's verdict on the bytes, and the round trip of what it takes.
template <typename Read>
void check(std::string_view bytes, const Read& read) {
  ModelLines lines(bytes);
  std::string text;
  try {
    text = written(read(lines));
  } catch (const Error& error) {
    CHECK(error.kind() == ErrorKind::kBadModelFile);
    return;
  }
  ModelLines again(text);
  CHECK(written(read(again)) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check(bytes, [](ModelLines& lines) { return readModel(lines, "fuzz"); });
  check(bytes, [](ModelLines& lines) { return readSupervisedModel(lines, "fuzz"); });
  return 0;
}
