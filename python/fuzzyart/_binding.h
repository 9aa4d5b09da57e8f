// What the two extension modules share: the Python types of the library's
// errors and their translation, the observer that carries progress and
// Ctrl+C between Python and the library, work run without the GIL, and the
// checks of arrays of rows.
#pragma once

#include <fuzzyart/fuzzyart.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <cmath>
#include <optional>
#include <string>

namespace fuzzyart::binding {

namespace py = pybind11;

using Rows = py::array_t<float, py::array::c_style | py::array::forcecast>;

// fuzzyart.FuzzyARTError, made by the _engine module and looked up by the
// other (each module holds its own pointer to the one type).
inline PyObject* fuzzyArtError = nullptr;

inline std::string withoutLineBreaks(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

inline PyObject* pythonTypeOf(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kDivisionByZero:
    case ErrorKind::kTooManyCategories:
    case ErrorKind::kNoCategory:
      return fuzzyArtError;
    case ErrorKind::kFileAccess:
    case ErrorKind::kWriteFailed:
      return PyExc_OSError;
    case ErrorKind::kOutOfMemory:
      return PyExc_MemoryError;
    case ErrorKind::kCancelled:
      return PyExc_KeyboardInterrupt;
    default:
      return PyExc_ValueError;
  }
}

// Library errors raise their Python type, the message without its line
// breaks.
inline void translateLibraryErrors() {
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const Error& error) {
      PyErr_SetString(pythonTypeOf(error.kind()), withoutLineBreaks(error.what()).c_str());
    }
  });
}

// Reports progress to a Python callable and polls for signals. The work calls
// onRow for every row, so the clock is read only every 64 rows and Python is
// visited at most every 50 ms.
class PythonObserver final : public Observer {
 public:
  explicit PythonObserver(py::object progress = py::none()) : progress_(std::move(progress)) {}

  bool onRow(RowLoop, int64_t, int) override {
    if ((++rows_ & 63) != 0) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < std::chrono::milliseconds(50)) return !pending_;
    lastPoll_ = now;
    py::gil_scoped_acquire gil;
    if (!pending_ && PyErr_CheckSignals() != 0) pending_.emplace();
    return !pending_;
  }

  void onPassStart(int pass, int categories, float beta) override { report("start", pass, categories, beta); }
  void onPassEnd(int pass, int categories) override { report("end", pass, categories, 0.0f); }

  // The Python exception that made the work stop (a KeyboardInterrupt, or
  // one that the progress callable raised), raised again once the GIL is back.
  void raisePending() {
    if (pending_) {
      py::error_already_set error = std::move(*pending_);
      pending_.reset();
      throw error;
    }
  }

 private:
  void report(const char* event, int pass, int categories, float beta) {
    if (progress_.is_none() || pending_) return;
    py::gil_scoped_acquire gil;
    try {
      progress_(event, pass, categories, beta);
    } catch (py::error_already_set& error) {
      pending_.emplace(std::move(error));
    }
  }

  py::object progress_;
  int64_t rows_ = 0;
  std::chrono::steady_clock::time_point lastPoll_ = std::chrono::steady_clock::now();
  std::optional<py::error_already_set> pending_;
};

// Runs library work without the GIL; a cancel by the observer comes back as
// the Python exception that asked for it.
template <typename Work>
void withoutGil(PythonObserver& observer, Work&& work) {
  try {
    py::gil_scoped_release release;
    work();
  } catch (const Error& error) {
    if (error.kind() == ErrorKind::kCancelled) observer.raisePending();
    throw;
  }
  observer.raisePending();
}

inline int columnCount(const Rows& rows) {
  if (rows.ndim() != 2) throw py::value_error("Expected a 2-D array of rows");
  if (rows.shape(1) > kMaxInputLength) throw py::value_error("Too many datacolumnes. Max:8192");
  return static_cast<int>(rows.shape(1));
}

// The library trusts its reader, which lets no NaN or infinity through;
// arrays get the same guarantee here, with the place of the first offender.
inline void checkFinite(const Rows& rows) {
  const float* values = rows.data();
  const int64_t count = rows.size();
  for (int64_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) {
      const int64_t columns = rows.shape(1);
      throw py::value_error(std::string("Input contains ") + (std::isnan(values[i]) ? "NaN" : "infinity") +
                            " at row " + std::to_string(i / columns) + ", column " + std::to_string(i % columns));
    }
  }
}

}  // namespace fuzzyart::binding
