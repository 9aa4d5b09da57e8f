// The model file of a supervised network: the model file's format (see
// model_file.h) of kind fuzzyartmap, which adds match tracking's parameters,
// the classes, and the class of every category. A Fuzzy ART model file and a
// supervised one are never taken for each other: each loader refuses the
// other kind with a message that names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fuzzyart/data.h"
#include "fuzzyart/supervised_network.h"

namespace fuzzyart {

// What the class values are, so that a caller in another language gets them
// back as the type it learnt with.
enum class ClassKind {
  kWhole,   // whole numbers of 64 bits, as decimal text ("-3", "12")
  kNumber,  // finite doubles, as text that reads back to their bits
  kText,    // any bytes
};

struct SupervisedModel {
  // As in Model: new rows go through prepareRows(scaling, ..., clip = true).
  Scaling scaling;
  // Its parameters (threads excepted), where learning goes on from, every
  // category and its label. A label is an index into classes.
  SupervisedNetwork network{SupervisedParameters{}, 1};
  ClassKind classKind = ClassKind::kWhole;
  // The class of each label, each once; there must be one for every label
  // a category has.
  std::vector<std::string> classes;
  // Rows of each category in the last classification; empty when there was
  // none (written as 0 each).
  std::vector<int64_t> counts;
};

// As saveModel, for a supervised model; Error (kBadModelFile) also for a
// label without its class, classes that repeat or do not read as their kind.
void saveSupervisedModel(const std::string& path, const SupervisedModel& model);

// As loadModel, for a supervised model file. A Fuzzy ART model file is
// refused with "INFO: Line 2: ..." saying that it holds no class labels, as
// loadModel refuses a supervised one.
SupervisedModel loadSupervisedModel(const std::string& path);

}  // namespace fuzzyart
