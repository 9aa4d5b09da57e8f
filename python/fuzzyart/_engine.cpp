// The compiled half of the Python package: the library's scaling, network and
// files behind a small model type (Model in Python) that the estimator
// drives. Long work runs without the GIL; an observer takes it back now and
// then so that Ctrl+C stops the work within a fraction of a second.
#include <fuzzyart/fuzzyart.h>
#include <fuzzyart/model_file.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "_binding.h"
#include "data/scaling_check.h"
#include "results/model_format.h"

namespace py = pybind11;
using namespace fuzzyart;
using namespace fuzzyart::binding;

namespace {

// Rows arrive C-contiguous float32 from the Python layer; forcecast converts
// anything else once.
using Labels = py::array_t<int64_t>;

// The name that the library's messages give rows held in memory.
constexpr const char* kArrayName = "X";

int64_t rowCount(const Rows& rows) { return rows.ndim() == 2 ? rows.shape(0) : 0; }

std::span<const float> valuesOf(const Rows& rows) {
  return {rows.data(), static_cast<size_t>(rows.size())};
}


// Python's shortest decimal of the value read as the command line reads a
// switch (correctly rounded to single precision, infinity past its range), so
// that vigilance=0.7 is exactly -V0.7. Read without the locale: a process
// that set a decimal comma would read "0.75" as 0.
float singlePrecision(const py::handle& value) {
  const std::string text = py::repr(py::float_(py::reinterpret_borrow<py::object>(value)));
  const char* const end = text.data() + text.size();
  float result = 0.0f;
  if (std::from_chars(text.data(), end, result).ec == std::errc::result_out_of_range) {
    // Beyond single precision: infinity, or zero below its smallest value.
    double wide = 0.0;
    std::from_chars(text.data(), end, wide);
    result = std::fabs(wide) > 1.0 ? std::numeric_limits<float>::infinity() : 0.0f;
    if (std::signbit(wide)) result = -result;
  }
  return result;
}

NetworkParameters networkParameters(const py::dict& p) {
  NetworkParameters parameters;
  parameters.iterations = p["n_iter"].cast<int>();
  parameters.beta = singlePrecision(p["beta"]);
  parameters.alpha = singlePrecision(p["alpha"]);
  parameters.vigilance = singlePrecision(p["vigilance"]);
  parameters.itp = singlePrecision(p["itp"]);
  parameters.maxCategories = p["max_categories"].cast<int>();
  checkParameters(parameters);
  // The library takes an infinite Beta, which turns every weight it touches
  // into NaN; here it is refused as a non-finite Alpha is.
  if (!std::isfinite(parameters.beta)) {
    throw py::value_error("The learning rate parameter must be a finite number: Value=" +
                          py::repr(p["beta"]).cast<std::string>());
  }
  return parameters;
}

ScalingOptions scalingOptions(const py::dict& p) {
  ScalingOptions options;
  options.normalise = p["normalise"].cast<bool>();
  options.complementCoding = p["complement_coding"].cast<bool>();
  return options;
}

// The ranges a fit scales X with. Known ranges (a pair of float32 arrays,
// one value per column, low not above high) replace the measured ones; X is
// measured all the same, for the checks of its rows. A constant column stops
// the fit, as the command line stops, or gets the smallest range above its
// value: its rows scale to 0, and a later row with a larger value to 1.
ColumnRanges fitRanges(const Rows& x, const py::dict& p, const py::object& known) {
  const int columns = columnCount(x);
  checkFinite(x);
  ColumnRanges ranges = measureRanges(valuesOf(x), columns, p["normalise"].cast<bool>(), kArrayName);
  if (!known.is_none()) {
    ranges.min = known.cast<py::tuple>()[0].cast<std::vector<float>>();
    ranges.max = known.cast<py::tuple>()[1].cast<std::vector<float>>();
  }
  const bool ignore = p["constant_columns"].cast<std::string>() == "ignore";
  for (size_t c = 0; c < ranges.min.size(); ++c) {
    float& low = ranges.min[c];
    float& high = ranges.max[c];
    if (low != high) continue;
    if (!ignore) {
      throw py::value_error("Column " + std::to_string(c) + " is constant (" + model_format::floatText(low) +
                            " in every row); constant_columns='ignore' keeps it, scaled to 0");
    }
    if (high < std::numeric_limits<float>::max()) {
      high = std::nextafter(high, std::numeric_limits<float>::infinity());
    } else {
      low = std::nextafter(low, -std::numeric_limits<float>::infinity());
    }
  }
  return ranges;
}

py::array_t<float> floatArray(const std::vector<float>& values) {
  py::array_t<float> out(static_cast<py::ssize_t>(values.size()));
  std::memcpy(out.mutable_data(), values.data(), values.size() * sizeof(float));
  return out;
}

// A trained (or loaded) network with the scaling of its rows.
struct EngineModel {
  Scaling scaling;
  Network network;

  // Ranges measured on X (or the known ranges of a stream), and an empty
  // network.
  static EngineModel measure(const Rows& x, const py::dict& p, const py::object& known) {
    const NetworkParameters parameters = networkParameters(p);
    Scaling scaling = makeScaling(fitRanges(x, p, known), scalingOptions(p), kArrayName);
    Network network(parameters, scaling.inputLength());
    return EngineModel{std::move(scaling), std::move(network)};
  }

  // A stored category/weight file, loaded as the command line's recall does:
  // the ranges of X widened by the stored categories.
  static EngineModel load(const std::string& path, const Rows& x, const py::dict& p) {
    const NetworkParameters parameters = networkParameters(p);
    const int columns = columnCount(x);
    checkFinite(x);
    StoredCategories stored =
        loadCategoryFile(path, measureRanges(valuesOf(x), columns, p["normalise"].cast<bool>(), kArrayName),
                         kArrayName, scalingOptions(p), parameters);
    return EngineModel{std::move(stored.scaling), std::move(stored.network)};
  }

  void checkColumns(const Rows& x) const {
    const int columns = columnCount(x);
    if (columns != scaling.columnCount) {
      throw py::value_error("X has " + std::to_string(columns) + " features, but FuzzyART is expecting " +
                            std::to_string(scaling.columnCount) + " features as input.");
    }
  }

  // Input vectors of X; with clip, values outside the ranges are clipped.
  py::array_t<float> prepare(const Rows& x, bool clip) const {
    checkColumns(x);
    checkFinite(x);
    const int64_t rows = rowCount(x);
    const int length = scaling.inputLength();
    py::array_t<float> out({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(length)});
    std::span<float> target(out.mutable_data(), static_cast<size_t>(rows * length));
    {
      py::gil_scoped_release release;
      prepareRows(scaling, valuesOf(x), target, clip, kArrayName);
    }
    return out;
  }

  // With a seed, every pass in its own shuffled order (presentation_order.h).
  void learn(const py::array_t<float>& prepared, int passes, const py::object& progress,
             std::optional<uint64_t> seed) {
    PythonObserver observer(progress);
    MemoryRows source({prepared.data(), static_cast<size_t>(prepared.size())},
                      static_cast<size_t>(scaling.inputLength()));
    withoutGil(observer, [&] {
      for (int pass = 0; pass < passes; ++pass) {
        if (seed) {
          network.learnShuffledPass(source, *seed, &observer);
        } else {
          network.learnPass(source, &observer);
        }
      }
    });
  }

  // Every prepared row's category (-1 where none accepts it); with a tally,
  // the rows of each category and their centres in data units as the centre
  // file holds them.
  py::tuple classify(const py::array_t<float>& prepared, int threads, bool tally) const {
    PythonObserver observer;
    const size_t length = static_cast<size_t>(scaling.inputLength());
    MemoryRows source({prepared.data(), static_cast<size_t>(prepared.size())}, length);
    Labels labels(static_cast<py::ssize_t>(source.rows()));
    int64_t* out = labels.mutable_data();
    const int categories = network.categoryCount();
    Tally sums = tally ? Tally(network, scaling) : Tally(network);
    withoutGil(observer, [&] {
      network.classify(
          source,
          [&](int64_t row, int category, std::span<const float> input) {
            out[row] = category;
            sums.add(category, input);
          },
          &observer, ClassifyOptions{threads});
    });
    py::array_t<int64_t> counts(static_cast<py::ssize_t>(categories));
    std::memcpy(counts.mutable_data(), sums.counts().data(), sums.counts().size() * sizeof(int64_t));
    const int variables = scaling.variableCount();
    py::array_t<double> centres(
        {static_cast<py::ssize_t>(tally ? categories : 0), static_cast<py::ssize_t>(variables)});
    for (int j = 0; tally && j < categories; ++j) {
      const std::vector<double> centre = sums.centre(j, scaling);
      std::memcpy(centres.mutable_data(j, 0), centre.data(), centre.size() * sizeof(double));
    }
    return py::make_tuple(labels, counts, centres);
  }

  // With a vigilance, for this call only: the categories go into a network
  // that differs in its vigilance alone.
  Labels predict(const Rows& x, int threads, const py::object& vigilance) const {
    if (vigilance.is_none()) return classify(prepare(x, true), threads, false)[0].cast<Labels>();
    NetworkParameters parameters = network.parameters();
    parameters.vigilance = singlePrecision(vigilance);
    checkParameters(parameters);
    EngineModel other{scaling, Network(parameters, network.inputLength())};
    for (int j = 0; j < network.categoryCount(); ++j) other.network.addCategory(network.weights(j));
    return other.classify(other.prepare(x, true), threads, false)[0].cast<Labels>();
  }

  py::array_t<float> weights() const {
    const int categories = network.categoryCount();
    const int length = network.inputLength();
    py::array_t<float> out({static_cast<py::ssize_t>(categories), static_cast<py::ssize_t>(length)});
    for (int j = 0; j < categories; ++j) {
      const std::vector<float> w = network.weights(j);
      std::memcpy(out.mutable_data(j, 0), w.data(), w.size() * sizeof(float));
    }
    return out;
  }

  // Replaces the file at path only once the new one is complete.
  void saveCategories(const std::string& path, const std::vector<int64_t>& counts) const {
    saveCategoryFile(path, network, scaling, counts);
  }

  // The estimator's parameters of the network, each float as the shortest
  // decimal of its single-precision value (vigilance 0.7, not
  // 0.699999988), which reads back to the same value.
  py::dict parameters() const {
    const NetworkParameters& p = network.parameters();
    const auto decimal = [](float value) {
      const std::string text = model_format::floatText(value);
      double wide = 0.0;
      std::from_chars(text.data(), text.data() + text.size(), wide);
      return wide;
    };
    py::dict out;
    out["vigilance"] = decimal(p.vigilance);
    out["alpha"] = decimal(p.alpha);
    out["beta"] = decimal(p.beta);
    out["itp"] = decimal(p.itp);
    out["n_iter"] = p.iterations;
    out["complement_coding"] = scaling.complementCoding;
    out["normalise"] = scaling.normalise;
    out["max_categories"] = p.maxCategories;
    return out;
  }

  // The model file, which the command line's --model reads: the whole
  // network, its ranges and the counts of its last classification.
  void saveModel(const std::string& path, const std::vector<int64_t>& counts) const {
    fuzzyart::saveModel(path, Model{scaling, network, counts});
  }

  static py::tuple loadModel(const std::string& path) {
    Model model = fuzzyart::loadModel(path);
    return py::make_tuple(EngineModel{std::move(model.scaling), std::move(model.network)}, model.counts);
  }

  // The whole state, to full precision: parameters, ranges, every weight
  // (both halves of complement-coded ones), and where learning goes on from.
  py::tuple state() const {
    const NetworkParameters& p = network.parameters();
    std::vector<float> all;
    for (int j = 0; j < network.categoryCount(); ++j) {
      const std::vector<float> w = network.weights(j);
      all.insert(all.end(), w.begin(), w.end());
    }
    return py::make_tuple(1, py::make_tuple(p.iterations, p.beta, p.alpha, p.vigilance, p.itp, p.maxCategories),
                          py::make_tuple(scaling.columnCount, scaling.columns, floatArray(scaling.min),
                                         floatArray(scaling.max), scaling.normalise, scaling.complementCoding),
                          floatArray(all), network.currentBeta(), network.passes());
  }

  // A state from a pickle, which anyone may have edited: everything the
  // library trusts is checked before a network is made of it.
  static EngineModel restore(const py::tuple& t) {
    if (t.size() != 6 || t[0].cast<int>() != 1) throw py::value_error("Not a fuzzyart model state");
    const auto p = t[1].cast<py::tuple>();
    NetworkParameters parameters{p[0].cast<int>(), p[1].cast<float>(), p[2].cast<float>(),
                                 p[3].cast<float>(), p[4].cast<float>(), p[5].cast<int>()};
    checkParameters(parameters);
    const auto s = t[2].cast<py::tuple>();
    Scaling scaling;
    scaling.columnCount = s[0].cast<int>();
    scaling.columns = s[1].cast<std::vector<int>>();
    scaling.min = s[2].cast<std::vector<float>>();
    scaling.max = s[3].cast<std::vector<float>>();
    scaling.normalise = s[4].cast<bool>();
    scaling.complementCoding = s[5].cast<bool>();
    checkScaling(scaling);
    const float beta = t[4].cast<float>();
    const int passes = t[5].cast<int>();
    namespace mf = model_format;
    // The network refuses a NaN Beta and negative passes itself; these are
    // the rules of the model file, which the network does not know.
    std::string fault = mf::parameterFault(mf::kBetaLine, parameters.beta);
    if (fault.empty()) fault = mf::parameterFault(mf::kNextBetaLine, beta);
    const auto weights = t[3].cast<Rows>();
    const size_t length = static_cast<size_t>(scaling.inputLength());
    const size_t count = static_cast<size_t>(weights.size()) / length;
    if (fault.empty() && static_cast<size_t>(weights.size()) % length != 0) {
      fault = std::to_string(weights.size()) + " weights for categories of " + std::to_string(length);
    }
    if (fault.empty()) fault = mf::categoriesFault(static_cast<int64_t>(count), parameters.maxCategories);
    for (size_t j = 0; fault.empty() && j < count; ++j) {
      fault = mf::categoryFault(0, std::span<const float>(weights.data() + j * length, length));
    }
    if (!fault.empty()) throw py::value_error("Not a fuzzyart model state: " + fault);
    Network network(parameters, scaling.inputLength());
    for (size_t j = 0; j < count; ++j) network.addCategory(std::span<const float>(weights.data() + j * length, length));
    network.resumeLearning(beta, passes);
    return EngineModel{std::move(scaling), std::move(network)};
  }
};

py::array_t<float> readData(const std::string& path) {
  PythonObserver observer;
  RowTable table;
  withoutGil(observer, [&] { table = readDataFile(path, &observer); });
  auto* values = new std::vector<float>(std::move(table.values));
  py::capsule owner(values, [](void* p) { delete static_cast<std::vector<float>*>(p); });
  return py::array_t<float>({static_cast<py::ssize_t>(table.rows), static_cast<py::ssize_t>(table.columns)},
                            values->data(), owner);
}

}  // namespace

PYBIND11_MODULE(_engine, m) {
  m.doc() = "The fuzzyart library's engine; use the fuzzyart package instead.";
  m.attr("version") = kVersion;
  m.attr("max_input_length") = kMaxInputLength;

  fuzzyArtError = PyErr_NewExceptionWithDoc(
      "fuzzyart.FuzzyARTError",
      "The network cannot go on: a division by 0 in the choice or match values, or more categories than "
      "max_categories.",
      PyExc_RuntimeError, nullptr);
  m.attr("FuzzyARTError") = py::handle(fuzzyArtError);
  translateLibraryErrors();

  m.def("read_data", &readData, py::arg("path"));
  m.def("check_parameters", [](const py::dict& p) { networkParameters(p); }, py::arg("parameters"));

  py::class_<EngineModel>(m, "Model")
      .def_static("measure", &EngineModel::measure, py::arg("x"), py::arg("parameters"), py::arg("known") = py::none())
      .def_static("load", &EngineModel::load, py::arg("path"), py::arg("x"), py::arg("parameters"))
      .def("prepare", &EngineModel::prepare, py::arg("x"), py::arg("clip"))
      .def("learn", &EngineModel::learn, py::arg("prepared"), py::arg("passes"), py::arg("progress") = py::none(),
           py::arg("seed") = py::none())
      .def("classify", &EngineModel::classify, py::arg("prepared"), py::arg("threads"), py::arg("tally"))
      .def("predict", &EngineModel::predict, py::arg("x"), py::arg("threads"), py::arg("vigilance") = py::none())
      .def("weights", &EngineModel::weights)
      .def("save_categories", &EngineModel::saveCategories, py::arg("path"), py::arg("counts"))
      .def("save_model", &EngineModel::saveModel, py::arg("path"), py::arg("counts"))
      .def_static("load_model", &EngineModel::loadModel, py::arg("path"))
      .def("copy", [](const EngineModel& model) { return EngineModel(model); })
      .def_property_readonly("n_categories", [](const EngineModel& model) { return model.network.categoryCount(); })
      .def_property_readonly("columns", [](const EngineModel& model) { return model.scaling.columns; })
      .def_property_readonly("n_columns", [](const EngineModel& model) { return model.scaling.columnCount; })
      .def_property_readonly("input_length", [](const EngineModel& model) { return model.scaling.inputLength(); })
      .def_property_readonly("parameters", &EngineModel::parameters)
      .def_property_readonly("n_variables", [](const EngineModel& model) { return model.scaling.variableCount(); })
      .def_property_readonly("complement_coding",
                             [](const EngineModel& model) { return model.scaling.complementCoding; })
      .def_property_readonly("min", [](const EngineModel& model) { return floatArray(model.scaling.min); })
      .def_property_readonly("max", [](const EngineModel& model) { return floatArray(model.scaling.max); })
      .def_property_readonly("beta", [](const EngineModel& model) { return model.network.currentBeta(); })
      .def_property_readonly("passes", [](const EngineModel& model) { return model.network.passes(); })
      .def(py::pickle([](const EngineModel& model) { return model.state(); },
                      [](const py::tuple& state) {
                        try {
                          return EngineModel::restore(state);
                        } catch (const py::cast_error&) {
                          throw py::value_error("Not a fuzzyart model state");
                        }
                      }));
}
