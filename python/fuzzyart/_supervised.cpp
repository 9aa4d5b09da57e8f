// The compiled half of FuzzyARTMAP: the library's supervised network with
// the scaling of its rows and its model file, behind a small model type that
// artmap.py drives. Rows are scaled block by block as the network reads
// them, so that no scaled copy of the whole input is ever held. Long work
// runs without the GIL and stops at Ctrl+C.
#include <fuzzyart/fuzzyart.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "_binding.h"
#include "base/output_file.h"
#include "results/model_format.h"
#include "results/model_reader.h"
#include "results/model_writer.h"

namespace py = pybind11;
using namespace fuzzyart;
using namespace fuzzyart::binding;

namespace {

using Labels = py::array_t<int32_t, py::array::c_style | py::array::forcecast>;

constexpr const char* kArrayName = "X";
constexpr size_t kBlockRows = 4096;

// Raw rows scaled into input vectors a block at a time.
class ScaledRows final : public RowSource {
 public:
  ScaledRows(const Scaling& scaling, const Rows& raw, bool clip)
      : scaling_(scaling),
        raw_(raw.data()),
        rows_(static_cast<size_t>(raw.shape(0))),
        length_(static_cast<size_t>(scaling.inputLength())),
        clip_(clip),
        buffer_(std::min(rows_, kBlockRows) * length_) {}
  size_t length() const override { return length_; }
  void rewind() override { cursor_ = 0; }
  size_t next(size_t wanted, const float*& rows) override {
    const size_t n = std::min({wanted, kBlockRows, rows_ - cursor_});
    if (n == 0) return 0;
    const size_t columns = static_cast<size_t>(scaling_.columnCount);
    prepareRows(scaling_, {raw_ + cursor_ * columns, n * columns}, {buffer_.data(), n * length_}, clip_, kArrayName,
                static_cast<int64_t>(cursor_));
    rows = buffer_.data();
    cursor_ += n;
    return n;
  }

 private:
  const Scaling& scaling_;
  const float* raw_;
  size_t rows_;
  size_t length_;
  bool clip_;
  size_t cursor_ = 0;
  std::vector<float> buffer_;
};

// As the command line reads a switch: Python's shortest decimal of the
// value, correctly rounded to single precision, without the locale.
float singlePrecision(const py::handle& value) {
  const std::string text = py::repr(py::float_(py::reinterpret_borrow<py::object>(value)));
  float result = 0.0f;
  const char* const end = text.data() + text.size();
  if (std::from_chars(text.data(), end, result).ec == std::errc::result_out_of_range) {
    double wide = 0.0;
    std::from_chars(text.data(), end, wide);
    result = std::copysign(std::fabs(wide) > 1.0 ? std::numeric_limits<float>::infinity() : 0.0f, wide);
  }
  return result;
}

SupervisedParameters parametersOf(const py::dict& p) {
  SupervisedParameters parameters;
  parameters.iterations = p["n_iter"].cast<int>();
  parameters.beta = singlePrecision(p["beta"]);
  parameters.alpha = singlePrecision(p["alpha"]);
  parameters.vigilance = singlePrecision(p["vigilance"]);
  parameters.itp = singlePrecision(p["itp"]);
  parameters.epsilon = p["epsilon"].cast<double>();
  if (!model_format::readTracking(p["match_tracking"].cast<std::string>(), parameters.matchTracking)) {
    throw py::value_error("match_tracking must be \"MT+\", \"MT-\" or \"MT0\", not " +
                          std::string(py::repr(p["match_tracking"])));
  }
  if (!p["max_categories"].is_none()) parameters.maxCategories = p["max_categories"].cast<int>();
  // The search's threads; the result is the same for any number.
  parameters.threads = p["threads"].cast<int>();
  checkParameters(parameters);
  return parameters;
}


template <typename T>
py::array_t<T> arrayOf(const std::vector<T>& values) {
  py::array_t<T> out(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), out.mutable_data());
  return out;
}

ClassKind classKindOf(const std::string& text) {
  ClassKind kind{};
  if (!model_format::readClassKind(text, kind)) throw py::value_error("Unknown kind of classes: " + text);
  return kind;
}

// A supervised network with the scaling of its rows and its classes.
struct EngineModel {
  SupervisedModel model;

  static EngineModel measure(const Rows& x, const py::dict& p) {
    const SupervisedParameters parameters = parametersOf(p);
    const int columns = columnCount(x);
    checkFinite(x);
    ScalingOptions options;
    options.normalise = p["normalise"].cast<bool>();
    options.complementCoding = p["complement_coding"].cast<bool>();
    const ColumnRanges ranges =
        measureRanges({x.data(), static_cast<size_t>(x.size())}, columns, options.normalise, kArrayName);
    // Said in the estimator's terms (columns from 0, as the NaN message
    // counts them) rather than the data file's.
    for (size_t c = 0; c < ranges.min.size(); ++c) {
      if (ranges.min[c] == ranges.max[c]) {
        throw py::value_error("Column " + std::to_string(c) + " is constant (" + model_format::floatText(ranges.min[c]) +
                              " in every row); FuzzyARTMAP needs every column to vary");
      }
    }
    EngineModel out;
    out.model.scaling = makeScaling(ranges, options, kArrayName);
    out.model.network = SupervisedNetwork(parameters, out.model.scaling.inputLength());
    return out;
  }

  void checkRows(const Rows& x) const {
    const int columns = columnCount(x);
    if (columns != model.scaling.columnCount) {
      throw py::value_error("X has " + std::to_string(columns) + " features, but FuzzyARTMAP is expecting " +
                            std::to_string(model.scaling.columnCount) + " features as input.");
    }
    checkFinite(x);
  }

  void learn(const Rows& x, const Labels& labels, int passes, bool clip, const py::object& progress) {
    checkRows(x);
    if (labels.ndim() != 1 || labels.shape(0) != x.shape(0)) throw py::value_error("One label per row expected");
    const int32_t* values = labels.data();
    const int32_t classes = static_cast<int32_t>(model.classes.size());
    if (std::any_of(values, values + labels.size(), [&](int32_t l) { return l < 0 || l >= classes; })) {
      throw py::value_error("A label without its class");
    }
    PythonObserver observer(progress);
    ScaledRows rows(model.scaling, x, clip);
    // On a failure the network is half learnt: the caller learns on a copy.
    withoutGil(observer, [&] {
      for (int pass = 0; pass < passes; ++pass) {
        model.network.learnPass(rows, {values, static_cast<size_t>(labels.size())}, &observer);
      }
    });
  }

  // The label of every row, and the rows of every category.
  py::tuple classify(const Rows& x, int threads) const {
    checkRows(x);
    PythonObserver observer;
    ScaledRows rows(model.scaling, x, true);
    py::array_t<int32_t> labels(x.shape(0));
    int32_t* out = labels.mutable_data();
    std::vector<int64_t> counts(static_cast<size_t>(model.network.categoryCount()));
    withoutGil(observer, [&] {
      model.network.classify(
          rows,
          [&](int64_t row, int category, int32_t label, std::span<const float>) {
            out[row] = label;
            if (category >= 0) ++counts[static_cast<size_t>(category)];
          },
          &observer, ClassifyOptions{threads});
    });
    return py::make_tuple(labels, arrayOf(counts));
  }

  py::array_t<float> weights() const {
    const SupervisedNetwork& network = model.network;
    py::array_t<float> out({network.categoryCount(), network.inputLength()});
    for (int j = 0; j < network.categoryCount(); ++j) {
      const std::vector<float> w = network.weights(j);
      std::copy(w.begin(), w.end(), out.mutable_data(j, 0));
    }
    return out;
  }

  py::array_t<int32_t> categoryLabels() const {
    std::vector<int32_t> labels;
    for (int j = 0; j < model.network.categoryCount(); ++j) labels.push_back(model.network.label(j));
    return arrayOf(labels);
  }

  void setClasses(const std::string& kind, const std::vector<std::string>& classes) {
    const ClassKind classKind = classKindOf(kind);
    if (const std::string fault = model_format::classesFault(classKind, classes); !fault.empty()) {
      throw py::value_error("Classes that no model file can hold: " + fault);
    }
    model.classKind = classKind;
    model.classes = classes;
  }

  py::tuple classes() const {
    py::list names;
    for (const std::string& c : model.classes) names.append(py::bytes(c));
    return py::make_tuple(std::string(model_format::classKindText(model.classKind)), names);
  }

  void setCounts(const std::vector<int64_t>& counts) { model.counts = counts; }

  // The estimator's parameters that the network and scaling hold.
  py::dict parameters() const {
    const SupervisedParameters& p = model.network.parameters();
    py::dict out;
    out["vigilance"] = double{p.vigilance};
    out["alpha"] = double{p.alpha};
    out["beta"] = double{p.beta};
    out["itp"] = double{p.itp};
    out["n_iter"] = p.iterations;
    out["epsilon"] = p.epsilon;
    out["match_tracking"] = std::string(model_format::trackingText(p.matchTracking));
    out["complement_coding"] = model.scaling.complementCoding;
    out["normalise"] = model.scaling.normalise;
    out["max_categories"] = p.maxCategories == std::numeric_limits<int>::max() ? py::object(py::none())
                                                                               : py::object(py::int_(p.maxCategories));
    return out;
  }

  // The model file's bytes: the pickled state, read back with every check
  // of the file.
  py::bytes text() const {
    char* data = nullptr;
    size_t size = 0;
    {
      OutputFile file;
      file.adopt(open_memstream(&data, &size));
      writeSupervisedModel(file, "the model", model);
      if (!file.close()) throw std::bad_alloc();
    }
    py::bytes out(data, size);
    std::free(data);
    return out;
  }

  static EngineModel fromText(const py::bytes& bytes) {
    const std::string_view view(bytes);
    ModelLines lines(view);
    return EngineModel{readSupervisedModel(lines, "the pickled model")};
  }

  void save(const std::string& path) const {
    PythonObserver observer;
    withoutGil(observer, [&] { saveSupervisedModel(path, model); });
  }

  static EngineModel load(const std::string& path) {
    PythonObserver observer;
    EngineModel out;
    withoutGil(observer, [&] { out.model = loadSupervisedModel(path); });
    return out;
  }
};

}  // namespace

PYBIND11_MODULE(_supervised, m) {
  m.doc() = "The fuzzyart library's supervised network; use fuzzyart.FuzzyARTMAP instead.";
  fuzzyArtError = py::module_::import("fuzzyart._engine").attr("FuzzyARTError").ptr();
  translateLibraryErrors();

  py::class_<EngineModel>(m, "Model")
      .def_static("measure", &EngineModel::measure, py::arg("x"), py::arg("parameters"))
      .def_static("load", &EngineModel::load, py::arg("path"))
      .def_static("from_text", &EngineModel::fromText, py::arg("text"))
      .def("learn", &EngineModel::learn, py::arg("x"), py::arg("labels"), py::arg("passes"), py::arg("clip"),
           py::arg("progress") = py::none())
      .def("classify", &EngineModel::classify, py::arg("x"), py::arg("threads"))
      .def("weights", &EngineModel::weights)
      .def("category_labels", &EngineModel::categoryLabels)
      .def("set_classes", &EngineModel::setClasses, py::arg("kind"), py::arg("classes"))
      .def("classes", &EngineModel::classes)
      .def("set_counts", &EngineModel::setCounts, py::arg("counts"))
      .def("parameters", &EngineModel::parameters)
      .def("text", &EngineModel::text)
      .def("save", &EngineModel::save, py::arg("path"))
      .def("copy", [](const EngineModel& model) { return EngineModel(model); })
      .def_property_readonly("n_categories", [](const EngineModel& e) { return e.model.network.categoryCount(); })
      .def_property_readonly("n_features", [](const EngineModel& e) { return e.model.scaling.columnCount; })
      .def_property_readonly("conflicts", [](const EngineModel& e) { return e.model.network.conflicts(); })
      .def_property_readonly("passes", [](const EngineModel& e) { return e.model.network.passes(); })
      .def_property_readonly("counts", [](const EngineModel& e) { return arrayOf(e.model.counts); })
      .def_property_readonly("min", [](const EngineModel& e) { return arrayOf(e.model.scaling.min); })
      .def_property_readonly("max", [](const EngineModel& e) { return arrayOf(e.model.scaling.max); })
      .def(py::pickle([](const EngineModel& e) { return e.text(); },
                      [](const py::bytes& text) { return EngineModel::fromText(text); }));
}
