// Values one thread writes while another reads them: parameters, the current program, flags.
// Hosts call setParameter from any thread while the audio thread renders and the panel's
// thread draws. Relaxed atomic access compiles to the plain loads and stores it replaces on
// x86 and ARM64, takes the undefined behaviour out of the race and needs no lock. The free
// functions work on plain storage, so structures that are cleared with memset stay as they are.
#pragma once

#include <atomic>

namespace vorlak {

template <class T>
inline T relaxedLoad(const T& place) {
  return std::atomic_ref<T>(const_cast<T&>(place)).load(std::memory_order_relaxed);
}

template <class T>
inline void relaxedStore(T& place, T value) {
  std::atomic_ref<T>(place).store(value, std::memory_order_relaxed);
}

// A member that is read and written as a plain value but every access is one relaxed load or
// store. Compound assignments are a load and a store: only one thread may use them.
template <class T>
class Relaxed {
 public:
  constexpr Relaxed(T initial = T{}) : stored(initial) {}  // NOLINT: converts like a T
  Relaxed(const Relaxed& other) : stored(other.load()) {}
  Relaxed& operator=(const Relaxed& other) {
    store(other.load());
    return *this;
  }
  Relaxed& operator=(T value) {
    store(value);
    return *this;
  }

  T load() const { return relaxedLoad(stored); }
  void store(T value) { relaxedStore(stored, value); }
  operator T() const { return load(); }  // NOLINT: reads like a T

  Relaxed& operator+=(T amount) {
    store(static_cast<T>(load() + amount));
    return *this;
  }
  Relaxed& operator-=(T amount) {
    store(static_cast<T>(load() - amount));
    return *this;
  }
  T operator++() {
    store(static_cast<T>(load() + 1));
    return load();
  }
  T operator--() {
    store(static_cast<T>(load() - 1));
    return load();
  }
  T operator++(int) {
    const T old = load();
    store(static_cast<T>(old + 1));
    return old;
  }
  T operator--(int) {
    const T old = load();
    store(static_cast<T>(old - 1));
    return old;
  }

 private:
  T stored;
};

}  // namespace vorlak
