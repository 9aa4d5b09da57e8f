// The model file's reader on arbitrary bytes. It refuses them (Error of kind
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

std::string written(const Model& model) {
  char* text = nullptr;
  size_t size = 0;
  OutputFile file;
  file.adopt(open_memstream(&text, &size));
  writeModel(file, "fuzz", model.scaling, model.network, model.counts);
  CHECK(file.close());
  std::string out(text, size);
  std::free(text);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ModelLines lines(std::string_view(reinterpret_cast<const char*>(data), size));
  Model model;
  try {
    model = readModel(lines, "fuzz");
  } catch (const Error& error) {
    CHECK(error.kind() == ErrorKind::kBadModelFile);
    return 0;
  }
  const std::string text = written(model);
  ModelLines again(text);
  CHECK(written(readModel(again, "fuzz")) == text);
  return 0;
}
