// The stream-level writer of the model file (model_format.h): the command
// line writes it into one of the result files that it commits together.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "fuzzyart/data.h"
#include "fuzzyart/network.h"
#include "fuzzyart/supervised_model_file.h"
#include "base/output_file.h"

namespace fuzzyart {

// Throws Error (kBadModelFile) with "Can't write modelfile: NAME\nINFO: WHAT\n"
// before anything is written when the parts break a rule of the format or do
// not fit together (counts may be empty, for no classification yet), and
// Error (kWriteFailed) when a write fails. The caller closes the file, which
// tells of a write that failed in the buffer.
void writeModel(OutputFile& file, const std::string& name, const Scaling& scaling, const Network& network,
                std::span<const int64_t> counts);

// The same for a supervised model.
void writeSupervisedModel(OutputFile& file, const std::string& name, const SupervisedModel& model);
// The first reason no model file can hold the model, or an empty text.
std::string supervisedModelFault(const SupervisedModel& model);

}  // namespace fuzzyart
