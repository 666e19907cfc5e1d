// Failures inside the library travel as GioError carrying the GIO_ code that
// the entry point returns; the entry frame (entry_frame.h) turns it, and any
// other exception, into the result so nothing crosses the C boundary.
#ifndef GRIDIO_GIO_ERROR_H_
#define GRIDIO_GIO_ERROR_H_

namespace gridio {

class GioError {
 public:
  explicit GioError(int code) : code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

[[noreturn]] inline void Fail(int code) { throw GioError(code); }

}  // namespace gridio

#endif  // GRIDIO_GIO_ERROR_H_
